#include "backend/shared/DismountedFolders.h"
#include "backend/shared/FolderFileSystem.h"
#include "platform/FlashControlCodes.h"
#include "backend/board/flash/TargetFlashDriver.h"
#include "backend/board/support/FatVolume.h"
#include "backend/board/support/HostCommand.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/board/support/SwapArea.h"
#include "backend/board/support/TempFolder.h"
#include "support/MemoryEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <random>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::u16string_view kDeviceName = u"\\VKRFlash\\Vol:";

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator());
    }
    return bytes;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

enum class RegionKind {
    File,
    LinkToFile,
    FileInLinkedFolder,
    Loop,
    MountedLoop,
    ClaimedLoop,
    // Aliases of a loop device over a FAT image mounted through FUSE.
    SecondLoopOverMountedImage,
    LoopStackedOnMountedLoop,
    BackingFileOfMountedLoop,
    // The image of a loop device that nothing mounts.
    BackingFileOfIdleLoop,
    // A loop device that is an active swap area.
    SwapLoop,
};

bool IsMountedImage(RegionKind kind) {
    return kind == RegionKind::MountedLoop || kind == RegionKind::SecondLoopOverMountedImage ||
           kind == RegionKind::LoopStackedOnMountedLoop || kind == RegionKind::BackingFileOfMountedLoop;
}

// A region the test made in `folder`: a file of random bytes (or a link to one, or one in a linked
// folder), or a loop device over a sparse file, or what shares that loop device's bytes: its
// image, a second loop device over the image, a loop device stacked on it. The image holds a FAT
// file system mounted through FUSE (the kernel may have no vfat) where the kind says so; the loop
// device may be claimed by another descriptor or be a swap area.
class TestRegion {
public:
    TestRegion(RegionKind kind, const fs::path& folder, std::uint64_t bytes) {
        if (kind == RegionKind::File || kind == RegionKind::LinkToFile || kind == RegionKind::FileInLinkedFolder) {
            MakeFile(kind, folder, bytes);
        } else {
            MakeLoop(kind, folder, bytes);
        }
    }

    const fs::path& Path() const { return path_; }
    // Why the region could not be made here; empty when it was.
    const std::string& Unavailable() const { return unavailable_; }

private:
    void MakeFile(RegionKind kind, const fs::path& folder, std::uint64_t bytes) {
        const fs::path real = kind == RegionKind::FileInLinkedFolder ? folder / "real" : folder;
        path_ = real / "region.bin";
        WriteAll(path_, RandomBytes(bytes, 1));
        if (kind == RegionKind::LinkToFile) {
            fs::create_symlink(path_, folder / "link");
            path_ = folder / "link";
        } else if (kind == RegionKind::FileInLinkedFolder) {
            fs::create_directory_symlink(real, folder / "linked");
            path_ = folder / "linked" / "region.bin";
        }
    }

    void MakeLoop(RegionKind kind, const fs::path& folder, std::uint64_t bytes) {
        const fs::path image = folder / "loop.img";
        if (IsMountedImage(kind)) {
            unavailable_ = volume_.emplace(image, bytes, "", folder / "mnt").Unavailable();
            path_ = volume_->Device();
        } else {
            unavailable_ = test::RootDevicesMissing({"/dev/loop-control"});
            test::MakeSparseFile(image, bytes);
            path_ = unavailable_.empty() ? loop_.emplace(image).Path() : fs::path();
        }
        if (unavailable_.empty()) {
            Alias(kind, image);
        }
    }

    // Points the region at what the kind names, beside the loop device made over `image`.
    void Alias(RegionKind kind, const fs::path& image) {
        switch (kind) {
            case RegionKind::ClaimedLoop:
                claim_ = shared::UniqueFd(::open(path_.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC));
                break;
            case RegionKind::SecondLoopOverMountedImage:
                path_ = aliasLoop_.emplace(image).Path();
                break;
            case RegionKind::LoopStackedOnMountedLoop:
                path_ = aliasLoop_.emplace(path_).Path();
                break;
            case RegionKind::BackingFileOfMountedLoop:
            case RegionKind::BackingFileOfIdleLoop:
                path_ = image;
                break;
            case RegionKind::SwapLoop:
                unavailable_ = swap_.emplace(path_).IsActive() ? "" : "the kernel refused swapon on a loop device";
                break;
            default:
                break;
        }
        if (path_.empty()) {
            unavailable_ = "losetup set up no loop device";
        }
    }

    fs::path path_;
    // Declared in the order they are made, so that they go in the reverse order.
    std::optional<test::LoopDevice> loop_;
    std::optional<test::FatVolume> volume_;
    std::optional<test::LoopDevice> aliasLoop_;
    std::optional<test::SwapArea> swap_;
    shared::UniqueFd claim_;
    std::string unavailable_;
};

// The driver with its OS region at `region`, reading images from the folder `folder`/root.
struct FlashRig {
    FlashRig(const fs::path& folder, const fs::path& region)
        : fileSystem(folder / "root", dismounted, {}, errors),
          events(folder / "events.log"),
          driver({fs::path(), fs::path(), region, fs::path()}, fileSystem, approval, errors, events,
                 [this](std::string_view line) { debugLines.emplace_back(line); }) {}

    shared::ErrorState errors;
    shared::DismountedFolders dismounted;
    shared::FolderFileSystem fileSystem;
    shared::EventLog events;
    shared::CardApproval approval;
    std::vector<std::string> debugLines;
    TargetFlashDriver driver;
};

struct DriverCase {
    const char* name;
    RegionKind region;
    std::uint64_t regionBytes;
    std::size_t imageBytes;
    std::uint32_t error;  // kSuccess: the image is written over the region's start
};

void PrintTo(const DriverCase& c, std::ostream* os) { *os << c.name; }

class TargetFlashDriverTest : public ::testing::TestWithParam<DriverCase> {};

TEST_P(TargetFlashDriverTest, WritesAnImageOnlyWhereItMay) {
    const DriverCase& c = GetParam();
    const test::TempFolder temp;
    const TestRegion region(c.region, temp.Path(), c.regionBytes);
    if (!region.Unavailable().empty()) {
        GTEST_SKIP() << region.Unavailable();
    }
    const std::string image = RandomBytes(c.imageBytes, 2);
    WriteAll(temp.Path() / "root/image.bin", image);
    const std::string before = ReadAll(region.Path());
    FlashRig rig(temp.Path(), region.Path());
    const std::unique_ptr<platform::DeviceHandle> flash = rig.driver.Open(std::u16string(kDeviceName));
    ASSERT_TRUE(flash);

    const bool done = c.error == error::kSuccess;
    EXPECT_EQ(flash->Control(platform::IOCTL_FLASH_WRITE_OS, u"\\image.bin", 0, nullptr, 0, nullptr), done ? 1 : 0);
    EXPECT_EQ(rig.errors.Last(), c.error);
    EXPECT_TRUE(ReadAll(region.Path()) == (done ? image + before.substr(image.size()) : before)) << "region changed";
    // The handle was held all along: the device takes no second one.
    EXPECT_FALSE(rig.driver.Open(std::u16string(kDeviceName)));
    EXPECT_EQ(rig.errors.Last(), error::kSharingViolation);
}

INSTANTIATE_TEST_SUITE_P(
    Regions, TargetFlashDriverTest,
    ::testing::Values(
        // Two and a half chunks: the stream crosses chunk ends and ends inside one; the rest stays.
        DriverCase{"FileWrittenInPlace", RegionKind::File, 3 * kMebibyte, 5 * kMebibyte / 2, error::kSuccess},
        DriverCase{"LargerThanTheLoopDevice", RegionKind::Loop, kMebibyte, kMebibyte + 1, error::kDiskFull},
        DriverCase{"FileReachedThroughALink", RegionKind::LinkToFile, 4096, 1024, error::kAccessDenied},
        DriverCase{"MountedLoopDevice", RegionKind::MountedLoop, 4 * kMebibyte, 1024, error::kAccessDenied},
        DriverCase{"LoopDeviceClaimedElsewhere", RegionKind::ClaimedLoop, kMebibyte, 1024, error::kSharingViolation},
        DriverCase{"FileInALinkedFolder", RegionKind::FileInLinkedFolder, 4096, 1024, error::kAccessDenied},
        DriverCase{"SecondLoopOverAMountedImage", RegionKind::SecondLoopOverMountedImage, 4 * kMebibyte, 1024,
                   error::kAccessDenied},
        DriverCase{"LoopStackedOnAMountedLoop", RegionKind::LoopStackedOnMountedLoop, 4 * kMebibyte, 1024,
                   error::kAccessDenied},
        DriverCase{"BackingFileOfAMountedLoop", RegionKind::BackingFileOfMountedLoop, 4 * kMebibyte, 1024,
                   error::kAccessDenied},
        DriverCase{"BackingFileOfAnIdleLoop", RegionKind::BackingFileOfIdleLoop, kMebibyte, 1024,
                   error::kAccessDenied},
        // The kernel claims it exclusively too; the driver refuses it before it tries.
        DriverCase{"ActiveSwapArea", RegionKind::SwapLoop, kMebibyte, 1024, error::kAccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TargetFlashDriverTest, TheResetOnlyWritesADebugLine) {
    const test::TempFolder temp;
    fs::create_directories(temp.Path() / "root");
    FlashRig rig(temp.Path(), temp.Path() / "no region");
    const std::unique_ptr<platform::DeviceHandle> flash = rig.driver.Open(std::u16string(kDeviceName));

    EXPECT_EQ(flash->Control(platform::IOCTL_FLASH_RESET, nullptr, 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(rig.debugLines.size(), 1U);
}

class TargetSlotRecheck : public ::testing::TestWithParam<std::optional<std::uint64_t>> {};

// The commit point reads the slot the update wrote again: one whose image was touched since (at the
// parameter's offset: a byte of the image's last, short chunk) is not switched to.
TEST_P(TargetSlotRecheck, SwitchesOnlyToASlotThatStillHoldsWhatWasWritten) {
    const test::TempFolder temp;
    WriteAll(temp.Path() / "root/image.bin", RandomBytes(5 * kMebibyte / 2, 2));
    WriteAll(temp.Path() / "os-a.bin", RandomBytes(3 * kMebibyte, 1));
    WriteAll(temp.Path() / "os-b.bin", RandomBytes(3 * kMebibyte, 1));
    WriteAll(temp.Path() / "cmdline", "velkor.slot=A");
    FlashRig rig(temp.Path(), temp.Path() / "no region");  // its files, events and approval
    shared::MemoryEnvironment environment;
    environment.values = {{"BOOT_ORDER", "A B"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}};
    shared::SlotGroup group;
    group.Add(*shared::FindRegionByName("os"), "os");
    shared::SlotSwitch slotSwitch(group, environment, temp.Path() / "cmdline", rig.errors, rig.events, [](auto) {});
    TargetFlashDriver driver({fs::path(), fs::path(), temp.Path() / "os-a.bin", fs::path()},
                             {fs::path(), fs::path(), temp.Path() / "os-b.bin", fs::path()}, slotSwitch,
                             rig.fileSystem, rig.approval, rig.errors, rig.events, [](auto) {});
    rig.approval.Approve({{}, std::nullopt, {{platform::IOCTL_FLASH_WRITE_OS, u"\\image.bin"}}}, false);
    ASSERT_EQ(driver.Open(std::u16string(kDeviceName))
                  ->Control(platform::IOCTL_FLASH_WRITE_OS, u"\\image.bin", 0, nullptr, 0, nullptr),
              1);
    if (GetParam()) {
        const shared::UniqueFd slot(::open((temp.Path() / "os-b.bin").c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::pwrite(slot.Get(), "?", 1, static_cast<off_t>(*GetParam())), 1);
    }

    EXPECT_EQ(driver.CommitUpdate({}, true), !GetParam());
    EXPECT_EQ(environment.values["BOOT_ORDER"], GetParam() ? "A B" : "B A");
}

INSTANTIATE_TEST_SUITE_P(Slots, TargetSlotRecheck, ::testing::Values(std::nullopt, 2 * kMebibyte + 5));

}  // namespace
}  // namespace velkor::board
