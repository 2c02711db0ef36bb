#include "backend/board/flash/DeviceUse.h"
#include "backend/board/support/TempFolder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

constexpr DeviceNumber kDisk{8, 0};
constexpr DeviceNumber kFirstPartition{8, 1};
constexpr DeviceNumber kSecondPartition{8, 2};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// One disk, 8:0, with the partitions 8:1 and 8:2, linked by number as the kernel links them.
void MakeSysfs(const fs::path& sysfs) {
    const fs::path disk = sysfs / "devices/virtual/block/sda";
    WriteFile(disk / "dev", "8:0\n");
    fs::create_directories(sysfs / "dev/block");
    fs::create_directory_symlink(disk, sysfs / "dev/block/8:0");
    for (const unsigned partition : {1U, 2U}) {
        const fs::path folder = disk / fmt::format("sda{}", partition);
        WriteFile(folder / "dev", fmt::format("8:{}\n", partition));
        WriteFile(folder / "partition", fmt::format("{}\n", partition));
        fs::create_directory_symlink(folder, sysfs / "dev/block" / fmt::format("8:{}", partition));
    }
}

bool MakeNode(const fs::path& path, mode_t type, DeviceNumber number) {
    return ::mknod(path.c_str(), type | S_IRUSR, ::makedev(number.major, number.minor)) == 0;
}

struct UseCase {
    const char* name;
    // "{nodes}" stands for a folder of device nodes: "node a", block device 8:1, and "fuse", /dev/fuse's number.
    const char* mountInfo;
    // A process has "fuse" and "node a" open.
    bool fuseDaemon;
    DeviceNumber device;
    bool mounted;
    bool holdsRoot;
};

class DeviceUseTest : public ::testing::TestWithParam<UseCase> {};

TEST_P(DeviceUseTest, FindsMountsAndTheRootFromTheHostsTables) {
    const UseCase& c = GetParam();
    const test::TempFolder temp;
    const fs::path nodes = temp.Path() / "nodes";
    fs::create_directories(nodes);
    const bool needsNodes = c.fuseDaemon || std::string_view(c.mountInfo).find("{nodes}") != std::string_view::npos;
    if (needsNodes &&
        (!MakeNode(nodes / "node a", S_IFBLK, kFirstPartition) || !MakeNode(nodes / "fuse", S_IFCHR, {10, 229}))) {
        GTEST_SKIP() << "making device nodes needs root";
    }
    MakeSysfs(temp.Path() / "sys");
    const fs::path process = temp.Path() / "proc/4242/fd";
    fs::create_directories(process);
    if (c.fuseDaemon) {
        fs::create_symlink(nodes / "node a", process / "3");
        fs::create_symlink(nodes / "fuse", process / "4");
    }
    const HostView host{fmt::format(fmt::runtime(c.mountInfo), fmt::arg("nodes", nodes.string())), temp.Path() / "sys",
                        temp.Path() / "proc"};

    EXPECT_EQ(IsMounted(c.device, host), c.mounted);
    EXPECT_EQ(HoldsRootFileSystem(c.device, host), c.holdsRoot);
}

constexpr const char* kRootOnSecond =
    "27 1 8:2 / / rw,relatime shared:1 master:2 - ext4 /dev/sda2 rw\n"
    "not a mount line\n"
    "36 27 0:23 / /tmp rw - tmpfs tmpfs rw\n";

INSTANTIATE_TEST_SUITE_P(
    Tables, DeviceUseTest,
    ::testing::Values(
        UseCase{"RootOnASiblingPartition", kRootOnSecond, false, kFirstPartition, false, false},
        UseCase{"TheRootsOwnDevice", kRootOnSecond, false, kSecondPartition, true, true},
        UseCase{"TheRootsDisk", kRootOnSecond, false, kDisk, true, true},
        UseCase{"SourceNamingAPartition", "40 1 0:50 / / rw - btrfs {nodes}/node\\040a rw\n", false, kDisk, true, true},
        UseCase{"FuseDaemonServingAPartition", "45 27 0:40 / /mnt/f rw - fuse.fusefat fusefat rw\n", true, kDisk, true,
                false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::board
