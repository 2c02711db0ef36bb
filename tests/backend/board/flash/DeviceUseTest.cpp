#include "backend/board/flash/DeviceUse.h"
#include "backend/board/flash/MountTable.h"
#include "backend/board/support/TempFolder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <utility>
#include <vector>

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
    EXPECT_EQ(UseOf({StorageId::Block(c.device), "device"}, host).kind == UseKind::RootFileSystem, c.holdsRoot);
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

// Loop devices beside the disk 8:0, as sysfs shows them: 7:0 and 7:1 over image.img, 7:2 stacked on
// 7:1, 7:3 over other.img and held by dm-0, 7:4 over spare.img, 7:5 stacked on the partition 8:1.
// The stacked loops' backing files are nodes of the devices under them.
class AliasHost {
public:
    // Unavailable() says why when the device nodes cannot be made.
    AliasHost() {
        fs::create_directories(Nodes());
        MakeSysfs(Sysfs());
        for (const char* file : {"image.img", "other.img", "spare.img"}) {
            WriteFile(temp_.Path() / file, "bytes");
        }
        const bool nodes = MakeNode(Nodes() / "loop1", S_IFBLK, {7, 1}) && MakeNode(Nodes() / "sda1", S_IFBLK, {8, 1}) &&
                           MakeNode(Nodes() / "fuse", S_IFCHR, {10, 229});
        unavailable_ = nodes ? "" : "making device nodes needs root";
        const fs::path loop1 = Nodes() / "loop1";
        const fs::path sda1 = Nodes() / "sda1";
        for (const auto& [minor, backing] : std::vector<std::pair<unsigned, fs::path>>{
                 {0, temp_.Path() / "image.img"}, {1, temp_.Path() / "image.img"}, {2, loop1},
                 {3, temp_.Path() / "other.img"}, {4, temp_.Path() / "spare.img"}, {5, sda1}}) {
            const fs::path folder = Sysfs() / fmt::format("devices/virtual/block/loop{}", minor);
            WriteFile(folder / "dev", fmt::format("7:{}\n", minor));
            WriteFile(folder / "loop/backing_file", backing.string() + "\n");
            fs::create_directories(folder / "holders");
            fs::create_directory_symlink(folder, Sysfs() / fmt::format("dev/block/7:{}", minor));
        }
        WriteFile(Sysfs() / "devices/virtual/block/loop3/holders/dm-0/dev", "254:0\n");
    }

    const std::string& Unavailable() const { return unavailable_; }
    fs::path Nodes() const { return temp_.Path() / "nodes"; }
    fs::path Sysfs() const { return temp_.Path() / "sys"; }
    fs::path File(const char* name) const { return temp_.Path() / name; }

    // `mountInfo` with "{nodes}" and "{temp}" filled in; a FUSE daemon has /dev/fuse and each of
    // `daemonFiles` (under the temporary folder) open; /proc/swaps lists `swaps`.
    HostView View(const std::string& mountInfo, const std::vector<std::string>& daemonFiles,
                  const std::vector<std::string>& swaps) const {
        const fs::path proc = temp_.Path() / "proc";
        fs::remove_all(proc);
        fs::create_directories(proc / "4242/fd");
        fs::create_symlink(Nodes() / "fuse", proc / "4242/fd/3");
        for (std::size_t index = 0; index < daemonFiles.size(); ++index) {
            fs::create_symlink(temp_.Path() / daemonFiles[index], proc / fmt::format("4242/fd/{}", index + 4));
        }
        std::string table = "Filename\tType\tSize\tUsed\tPriority\n";
        for (const std::string& swap : swaps) {
            table += (temp_.Path() / swap).string() + "\tpartition\t8188\t0\t-2\n";
        }
        WriteFile(proc / "swaps", table);
        return {fmt::format(fmt::runtime(mountInfo), fmt::arg("nodes", Nodes().string())), Sysfs(), proc};
    }

private:
    test::TempFolder temp_;
    std::string unavailable_;
};

constexpr DeviceNumber Loop(unsigned minor) { return {7, minor}; }

struct AliasCase {
    const char* name;
    // A block device, or a file of the temporary folder when `file` is set.
    DeviceNumber device;
    const char* mountInfo;
    UseKind use;
    // The answer's detail, "{temp}" standing for the temporary folder.
    const char* detail;
    std::vector<std::string> daemonFiles = {};
    std::vector<std::string> swaps = {};
    OwnMounts own = OwnMounts::Count;
    const char* file = nullptr;
};

void PrintTo(const AliasCase& c, std::ostream* os) { *os << c.name; }

class StorageUseTest : public ::testing::TestWithParam<AliasCase> {};

TEST_P(StorageUseTest, FollowsAliasesToWhatUsesThem) {
    const AliasCase& c = GetParam();
    const AliasHost host;
    if (!host.Unavailable().empty()) {
        GTEST_SKIP() << host.Unavailable();
    }
    const StorageAlias start = c.file ? StorageAlias{*StorageId::OfPath(host.File(c.file)), host.File(c.file).string()}
                                      : StorageAlias{StorageId::Block(c.device), "start"};

    const StorageUse use = UseOf(start, host.View(c.mountInfo, c.daemonFiles, c.swaps), c.own);

    EXPECT_EQ(use.kind, c.use);
    std::string detail = c.detail;
    if (const std::size_t at = detail.find("{temp}"); at != std::string::npos) {
        detail.replace(at, 6, host.File("").parent_path().string());
    }
    EXPECT_EQ(use.detail, detail);
}

constexpr const char* kNoMounts = "";
constexpr const char* kLoop1Mounted = "50 1 7:1 / /mnt/a rw - vfat /dev/loop1 rw\n";
constexpr DeviceNumber kFile{};

INSTANTIATE_TEST_SUITE_P(
    Aliases, StorageUseTest,
    ::testing::Values(
        AliasCase{"LoopOverAnIdleFile", Loop(4), kNoMounts, UseKind::Free, ""},
        AliasCase{"SecondLoopOverAMountedImage", Loop(0), kLoop1Mounted, UseKind::Mounted,
                  "/dev/loop1 is mounted on /mnt/a"},
        AliasCase{"LoopStackedOnAMountedLoop", Loop(2), kLoop1Mounted, UseKind::Mounted,
                  "{temp}/nodes/loop1 is mounted on /mnt/a"},
        AliasCase{"LoopUnderAMountedStackedLoop", Loop(1), "50 1 7:2 / /mnt/s rw - vfat /dev/loop2 rw\n",
                  UseKind::Mounted, "/dev/loop2 is mounted on /mnt/s"},
        AliasCase{"LoopOverARootPartition", Loop(5), "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n", UseKind::RootFileSystem,
                  "{temp}/nodes/sda1 holds the running system's root file system"},
        AliasCase{"PartitionOfAWholeMountedDisk", kFirstPartition, "50 1 8:0 / /mnt/d rw - vfat x rw\n",
                  UseKind::Mounted, "/dev/sda is mounted on /mnt/d"},
        AliasCase{"PartitionBesideAMountedOne", kFirstPartition, "50 1 8:2 / /mnt/d rw - vfat x rw\n", UseKind::Free,
                  ""},
        AliasCase{"BackingFileOfAnIdleLoop", kFile, kNoMounts, UseKind::BacksLoop,
                  "{temp}/spare.img backs the loop device /dev/loop4", {}, {}, OwnMounts::Count, "spare.img"},
        AliasCase{"FileNoLoopUses", kFile, kNoMounts, UseKind::Free, "", {}, {}, OwnMounts::Count, "image.img.copy"},
        AliasCase{"BackingFileServedByFuse", Loop(0), kNoMounts, UseKind::Mounted,
                  "{temp}/image.img is open in FUSE daemon 4242", {"image.img"}},
        AliasCase{"HeldByDeviceMapper", Loop(3), kNoMounts, UseKind::Held, "start is held by dm-0"},
        AliasCase{"AliasIsASwapArea", Loop(0), kNoMounts, UseKind::Swap, "/dev/loop1 is an active swap area", {},
                  {"nodes/loop1"}},
        AliasCase{"OwnMountLeftUncounted", Loop(1), kLoop1Mounted, UseKind::Free, "", {}, {}, OwnMounts::Ignore},
        AliasCase{"AliasMountCountedBesideOwn", Loop(0),
                  "50 1 7:0 / /mnt/own rw - vfat /dev/loop0 rw\n51 1 7:1 / /mnt/a rw - vfat /dev/loop1 rw\n",
                  UseKind::Mounted, "/dev/loop1 is mounted on /mnt/a", {}, {}, OwnMounts::Ignore}),
    [](const auto& info) { return std::string(info.param.name); });

struct MountPointCase {
    const char* name;
    const char* mountInfo;
    std::vector<std::string> daemonFiles;
    bool mountedThere;
};

void PrintTo(const MountPointCase& c, std::ostream* os) { *os << c.name; }

class MountedAtTest : public ::testing::TestWithParam<MountPointCase> {};

TEST_P(MountedAtTest, LooksAtWhatIsVisibleAtTheMountPoint) {
    const AliasHost host;
    if (!host.Unavailable().empty()) {
        GTEST_SKIP() << host.Unavailable();
    }
    EXPECT_EQ(IsMountedAt(Loop(1), "/mnt/a", host.View(GetParam().mountInfo, GetParam().daemonFiles, {})),
              GetParam().mountedThere);
}

INSTANTIATE_TEST_SUITE_P(
    MountPoints, MountedAtTest,
    ::testing::Values(
        MountPointCase{"KernelMountThere", kLoop1Mounted, {}, true},
        MountPointCase{"MountedElsewhere", "50 1 7:1 / /mnt/b rw - vfat /dev/loop1 rw\n", {}, false},
        MountPointCase{"AnotherMountedOverIt", "50 1 7:1 / /mnt/a rw - vfat x rw\n60 1 0:33 / /mnt/a rw - tmpfs t rw\n",
                       {}, false},
        MountPointCase{"FuseDaemonHoldingIt", "50 1 0:40 / /mnt/a rw - fuse.fusefat fusefat rw\n", {"nodes/loop1"},
                       true},
        MountPointCase{"FuseMountOfAnotherDevice", "50 1 0:40 / /mnt/a rw - fuse.fusefat fusefat rw\n", {"nodes/sda1"},
                       false},
        MountPointCase{"NothingMounted", kNoMounts, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A slot copied at the commit point: only a read-write mount of it is named.
TEST(WritableMountPointTest, NamesOnlyAReadWriteMountOfTheDevice) {
    EXPECT_EQ(WritableMountPoint(Loop(1), ParseMountInfo("50 1 7:1 / / rw,relatime - ext4 /dev/loop1 rw\n")), "/");
    for (const char* other : {"50 1 7:1 / / ro - ext4 /dev/loop1 rw\n", "50 1 7:1 / / rw - ext4 /dev/loop1 ro,noatime\n",
                              "50 1 7:2 / /mnt rw - ext4 /dev/loop2 rw\n"}) {
        EXPECT_EQ(WritableMountPoint(Loop(1), ParseMountInfo(other)), std::nullopt) << other;
    }
}

}  // namespace
}  // namespace velkor::board
