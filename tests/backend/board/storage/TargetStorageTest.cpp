#include "StorageRig.h"

#include "platform/DiskControlCodes.h"
#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>

namespace velkor::test {
namespace {

namespace error = platform::error;
using platform::DiskInfo;
using platform::FormatOptions;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uintmax_t kMebibyte = 1024 * 1024;
// 8 MiB, laid out unlike what the cases format to: 4096-byte clusters, 112 root entries, 1 FAT.
constexpr const char* kInitialFat = "-F 12 -S 512 -s 8 -r 112 -f 1";
constexpr Volume kDismounted{8 * kMebibyte, kInitialFat, false};
constexpr Volume kMounted{8 * kMebibyte, kInitialFat, true};
constexpr Volume kBlank{8 * kMebibyte, nullptr, false};
// The volume's file mounted through a loop device of its own: the partition's device is an alias.
constexpr Volume kAliasMounted{8 * kMebibyte, kInitialFat, false, true};
// Short enough to keep a test that waits on it quick, long enough for a FUSE mount.
constexpr std::chrono::milliseconds kShortCommandLimit{300};
// FAT12 addresses at most 4084 clusters, far fewer than 64 MiB of 512-byte clusters.
constexpr Volume kLarge{64 * kMebibyte, "-F 16 -S 512 -s 4 -r 512 -f 2", false};

// What the update asks for: 2048-byte clusters, 512 root entries, FAT12, 2 FATs, full and transaction-safe.
constexpr FormatOptions kUpdateFormat{2048, 512, 12, 2, 3};
constexpr const char* kDiskInfoLine = "device-control DSK2: Part00 0x00000001 buffer 24 -> 1";

// Little-endian 32-bit words, as the drivers' records hold them.
Bytes Words(std::initializer_list<std::uint32_t> words) {
    std::string bytes;
    for (const std::uint32_t word : words) {
        platform::AppendLittleEndian(bytes, word, 4);
    }
    return Bytes(bytes.begin(), bytes.end());
}

struct Answer {
    bool done;
    Bytes reply;
};

Answer AskPartition(platform::Partition& partition, DiskInfo& disk) {
    std::uint32_t returned = 0;
    const bool done = partition.Control(platform::DISK_IOCTL_GETINFO, disk.data(), disk.size(), disk.data(),
                                        disk.size(), &returned) != 0;
    return {done, Bytes(disk.begin(), disk.begin() + returned)};
}

Answer AskVolume(StorageRig& rig, std::uint32_t code, std::uint32_t replyBytes) {
    const std::unique_ptr<platform::DeviceHandle> volume = rig.Storage().OpenVolumeDevice(u"\\VKRFlash\\Vol:");
    Bytes reply(replyBytes);
    std::uint32_t returned = 0;
    const bool done = volume->Control(code, nullptr, 0, reply.data(), replyBytes, &returned) != 0;
    reply.resize(returned);
    return {done, reply};
}

std::uint32_t Format(StorageRig& rig, platform::Partition& partition, const DiskInfo& disk,
                     const FormatOptions& options) {
    const std::unique_ptr<platform::LoadedLibrary> library = rig.Formats().LoadLibrary(u"fatutil.DLL");
    return library->FindFormatVolume(u"FormatVolume")(partition, disk, options);
}

// Formats the rig's partition as the update does, with the disk information it reports.
Answer FormatWithItsDiskInfo(StorageRig& rig, const FormatOptions& options) {
    const std::unique_ptr<platform::Partition> partition = rig.OpenPartition();
    DiskInfo disk{};
    AskPartition(*partition, disk);
    return {Format(rig, *partition, disk, options) == error::kSuccess, {}};
}

// A partition of some other storage manager.
class OtherPartition : public platform::Partition {
public:
    int Control(std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { return 0; }
    bool Dismount() override { return true; }
    bool Mount() override { return true; }
};

enum class Sector { Unchanged, Reformatted };

struct OutcomeCase {
    const char* name;
    Volume volume;
    board::TargetCommands commands;
    std::function<Answer(StorageRig&)> act;
    bool done;
    // The last error after a refusal.
    std::uint32_t error;
    std::vector<std::string> events;
    Sector sector;
    bool volumeHidden;
    // The reply the request gets, as the device itself tells it; empty for requests with none.
    std::function<Bytes(StorageRig&)> reply = [](StorageRig&) { return Bytes(); };
    std::chrono::milliseconds commandLimit = board::CommandRunner::kTimeLimit;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class TargetStorageTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(TargetStorageTest, CarriesOutTheRequestOnTheDevice) {
    const OutcomeCase& test = GetParam();
    StorageRig rig(test.volume, test.commands, test.commandLimit);
    if (!rig.Unavailable().empty()) {
        GTEST_SKIP() << rig.Unavailable();
    }
    const auto before = rig.FirstSector();

    const Answer answer = test.act(rig);

    EXPECT_EQ(answer.done, test.done);
    EXPECT_EQ(rig.LastError(), test.done ? error::kSuccess : test.error);
    EXPECT_EQ(rig.Events(), test.events);
    EXPECT_EQ(rig.VolumeHidden(), test.volumeHidden);
    EXPECT_EQ(answer.reply, test.reply(rig));
    const auto after = rig.FirstSector();
    if (test.sector == Sector::Unchanged) {
        EXPECT_EQ(after, before);
    } else {
        // The parameter block starts at offset 11; fsck.fat finds the new volume sound.
        EXPECT_EQ(std::string(after.begin() + 54, after.begin() + 62), "FAT12   ") << "file system type";
        EXPECT_EQ(after[13], 4) << "sectors per cluster";
        EXPECT_EQ(after[16], 2) << "FATs";
        EXPECT_EQ(platform::Read16(after, 17), 512) << "root entries";
        EXPECT_TRUE(rig.CheckedClusters().has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, TargetStorageTest,
    ::testing::Values(
        OutcomeCase{"DiskInfoOfTheBlockDevice", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        DiskInfo disk{};
                        return AskPartition(*rig.OpenPartition(), disk);
                    },
                    true, 0, {kDiskInfoLine}, Sector::Unchanged, false,
                    // 8 MiB of 512-byte sectors, and no geometry.
                    [](StorageRig&) { return Words({16384, 512, 0, 0, 0, 0}); }},
        OutcomeCase{"VolumeParametersAreTheBootSectors", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        return AskVolume(rig, platform::IOCTL_DISK_GET_VOLUME_PARAMETERS,
                                         platform::kVolumeParametersBytes);
                    },
                    true, 0, {"device-control \\VKRFlash\\Vol: 0x00070204 null 0 -> 1"}, Sector::Unchanged, false,
                    [](StorageRig& rig) {
                        const auto sector = rig.FirstSector();
                        Bytes reply(platform::kVolumeParametersBytes);
                        std::copy(sector.begin() + 11, sector.begin() + 36, reply.begin() + 13);
                        return reply;
                    }},
        OutcomeCase{"FreeSpaceOfTheMountedVolume", kMounted, FuseCommands(),
                    [](StorageRig& rig) {
                        std::ofstream(rig.MountPoint() / "IMAGE.BIN") << std::string(10000, 'x');
                        return AskVolume(rig, platform::IOCTL_DISK_GET_FREE_SPACE, platform::kFreeSpaceBytes);
                    },
                    true, 0, {"device-control \\VKRFlash\\Vol: 0x00070208 null 0 -> 1"}, Sector::Unchanged, false,
                    // The file takes three clusters of 4096 bytes.
                    [](StorageRig& rig) {
                        const std::uint32_t total = rig.CheckedClusters().value_or(std::pair(0, 0)).second;
                        return Words({8, 512, total - 3, total});
                    }},
        OutcomeCase{"FreeSpaceOfADismountedVolume", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        return AskVolume(rig, platform::IOCTL_DISK_GET_FREE_SPACE, platform::kFreeSpaceBytes);
                    },
                    false, error::kPathNotFound, {"device-control \\VKRFlash\\Vol: 0x00070208 null 0 -> 0 error 3"},
                    Sector::Unchanged, false},
        OutcomeCase{"VolumeParametersWithoutAFatVolume", kBlank, FuseCommands(),
                    [](StorageRig& rig) {
                        return AskVolume(rig, platform::IOCTL_DISK_GET_VOLUME_PARAMETERS,
                                         platform::kVolumeParametersBytes);
                    },
                    false, error::kInvalidData, {"device-control \\VKRFlash\\Vol: 0x00070204 null 0 -> 0 error 13"},
                    Sector::Unchanged, false},
        OutcomeCase{"DismountFormatAndMountAsTheUpdateDoes", kMounted, FuseCommands(),
                    [](StorageRig& rig) {
                        const std::unique_ptr<platform::Partition> partition = rig.OpenPartition();
                        DiskInfo disk{};
                        AskPartition(*partition, disk);
                        const bool dismounted = partition->Dismount();
                        const bool formatted = Format(rig, *partition, disk, kUpdateFormat) == error::kSuccess;
                        return Answer{dismounted && formatted && partition->Mount(), {}};
                    },
                    true, 0,
                    {kDiskInfoLine, "dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0",
                     "mount DSK2: Part00 -> 1"},
                    Sector::Reformatted, false},
        OutcomeCase{"FormatOfAMountedPartition", kMounted, FuseCommands(),
                    [](StorageRig& rig) { return FormatWithItsDiskInfo(rig, kUpdateFormat); }, false,
                    error::kSharingViolation, {kDiskInfoLine, "format DSK2: Part00 2048 512 12 2 3 -> 32"},
                    Sector::Unchanged, false},
        OutcomeCase{"FormatThatMkfsRefuses", kLarge, FuseCommands(),
                    [](StorageRig& rig) { return FormatWithItsDiskInfo(rig, {512, 512, 12, 2, 3}); }, false,
                    error::kInvalidParameter, {kDiskInfoLine, "format DSK2: Part00 512 512 12 2 3 -> 87"},
                    Sector::Unchanged, false},
        OutcomeCase{"FormatWithAnotherDisksInfo", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        return Answer{Format(rig, *rig.OpenPartition(), DiskInfo{}, kUpdateFormat) == 0, {}};
                    },
                    false, error::kInvalidParameter, {"format DSK2: Part00 2048 512 12 2 3 -> 87"},
                    Sector::Unchanged, false},
        OutcomeCase{"FormatOfAnotherKindOfPartition", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        OtherPartition other;
                        return Answer{Format(rig, other, DiskInfo{}, kUpdateFormat) == 0, {}};
                    },
                    false, error::kInvalidHandle, {"format - - 2048 512 12 2 3 -> 6"}, Sector::Unchanged, false},
        // Nothing is mounted, so the unmount command is not run; the mount command fails.
        OutcomeCase{"MountCommandFails", kDismounted, MountCommands({"false"}, {"false"}),
                    [](StorageRig& rig) {
                        const std::unique_ptr<platform::Partition> partition = rig.OpenPartition();
                        partition->Dismount();
                        return Answer{partition->Mount(), {}};
                    },
                    false, error::kAccessDenied, {"dismount DSK2: Part00 -> 1", "mount DSK2: Part00 -> 0 error 5"},
                    Sector::Unchanged, true},
        OutcomeCase{"MountOfAMountedPartitionRunsNoCommand", kMounted,
                    MountCommands({"false"}, FuseCommands().unmount),
                    [](StorageRig& rig) { return Answer{rig.OpenPartition()->Mount(), {}}; }, true, 0,
                    {"mount DSK2: Part00 -> 1"}, Sector::Unchanged, false},
        OutcomeCase{"UnmountThatLeavesTheDeviceInUse", kMounted,
                    MountCommands(FuseCommands().mount, {"true"}),
                    [](StorageRig& rig) { return Answer{rig.OpenPartition()->Dismount(), {}}; }, false,
                    error::kSharingViolation, {"dismount DSK2: Part00 -> 0 error 32"}, Sector::Unchanged, false},
        // The reply is whether the storage manager's folder was made in the bare mount point.
        OutcomeCase{"MountCommandThatMountsNothing", kDismounted, MountCommands({"true"}, {"false"}),
                    [](StorageRig& rig) {
                        const std::unique_ptr<platform::Partition> partition = rig.OpenPartition();
                        partition->Dismount();
                        const bool done = partition->Mount();
                        return Answer{done, {std::filesystem::exists(rig.MountPoint() / "$MSD$")}};
                    },
                    false, error::kNotReady, {"dismount DSK2: Part00 -> 1", "mount DSK2: Part00 -> 0 error 21"},
                    Sector::Unchanged, true, [](StorageRig&) { return Bytes{0}; }},
        OutcomeCase{"MountOfAPartitionWhoseFileIsMountedElsewhere", kAliasMounted, FuseCommands(),
                    [](StorageRig& rig) { return Answer{rig.OpenPartition()->Mount(), {}}; }, false,
                    error::kSharingViolation, {"mount DSK2: Part00 -> 0 error 32"}, Sector::Unchanged, false},
        OutcomeCase{"FormatOfAPartitionWhoseFileIsMountedElsewhere", kAliasMounted, FuseCommands(),
                    [](StorageRig& rig) { return FormatWithItsDiskInfo(rig, kUpdateFormat); }, false,
                    error::kSharingViolation, {kDiskInfoLine, "format DSK2: Part00 2048 512 12 2 3 -> 32"},
                    Sector::Unchanged, false},
        OutcomeCase{"FormatOfADeviceAnotherHoldsExclusively", kDismounted, FuseCommands(),
                    [](StorageRig& rig) {
                        const shared::UniqueFd claim(::open(rig.Device().c_str(), O_RDONLY | O_EXCL | O_CLOEXEC));
                        return FormatWithItsDiskInfo(rig, kUpdateFormat);
                    },
                    false, error::kSharingViolation, {kDiskInfoLine, "format DSK2: Part00 2048 512 12 2 3 -> 32"},
                    Sector::Unchanged, false},
        OutcomeCase{"FormatWithThreeFats", kDismounted, FuseCommands(),
                    [](StorageRig& rig) { return FormatWithItsDiskInfo(rig, {2048, 512, 12, 3, 3}); }, false,
                    error::kInvalidParameter, {kDiskInfoLine, "format DSK2: Part00 2048 512 12 3 3 -> 87"},
                    Sector::Unchanged, false},
        // 100 entries of 32 bytes fill no whole number of 512-byte sectors: mkfs.fat would make 112.
        OutcomeCase{"FormatWithRootEntriesMkfsWouldRound", kDismounted, FuseCommands(),
                    [](StorageRig& rig) { return FormatWithItsDiskInfo(rig, {2048, 100, 12, 2, 3}); }, false,
                    error::kInvalidParameter, {kDiskInfoLine, "format DSK2: Part00 2048 100 12 2 3 -> 87"},
                    Sector::Unchanged, false},
        OutcomeCase{"UnmountThatHangs", kMounted, MountCommands(FuseCommands().mount, {"sleep", "30"}),
                    [](StorageRig& rig) { return Answer{rig.OpenPartition()->Dismount(), {}}; }, false,
                    error::kTimeout, {"dismount DSK2: Part00 -> 0 error 1460"}, Sector::Unchanged, false,
                    [](StorageRig&) { return Bytes(); }, kShortCommandLimit}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
