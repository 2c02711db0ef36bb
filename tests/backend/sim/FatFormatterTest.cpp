#include "platform/DiskControlCodes.h"
#include "platform/ErrorCodes.h"
#include "backend/sim/StorageDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;
using platform::FormatOptions;
using test::FatWith;
using test::kFat12;
using test::StorageDevice;

// What the volume device reports of a volume's layout.
struct Layout {
    std::uint32_t sectorsPerCluster;
    std::uint32_t fats;
    std::uint32_t rootEntries;
    std::uint32_t sectorsPerFat;

    bool operator==(const Layout&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Layout& layout) {
    return out << layout.sectorsPerCluster << " sectors a cluster, " << layout.fats << " FATs of "
               << layout.sectorsPerFat << " sectors, " << layout.rootEntries << " root entries";
}

constexpr Layout kUnchanged{4, 2, 512, 12};

struct FormatCase {
    const char* name;
    FormatOptions options;
    std::uint32_t result;
    Layout layout;  // afterwards
    const char* totalSectors = "16000";
    const char* faults = "{}";
    bool dismounted = true;
    bool partitionsDiskInfo = true;
};

// \Big, the volume formatted, holds files and folders and links out of it; \StorageCard holds
// what they lead to.
class FormatTest : public ::testing::TestWithParam<FormatCase> {
protected:
    FormatTest() : device_(GetParam().faults, FatWith(kFat12, "totalSectors", GetParam().totalSectors)) {
        device_.Temp().Write("root/Big/$MSD$/startup.log", "started");
        device_.Temp().Write("root/Big/a.bin", "a");
        device_.Temp().Write("root/StorageCard/keep.bin", "keep");
        fs::create_symlink("../StorageCard/keep.bin", device_.Temp().Root() / "Big/keep.bin");
        fs::create_directory_symlink("../StorageCard", device_.Temp().Root() / "Big/$MSD$/card");
    }

    // Every entry below the root, folders ending in '/', links not followed.
    std::set<std::string> Entries() const {
        std::set<std::string> entries;
        const fs::path root = device_.Temp().Root();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
            entries.insert(fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : ""));
        }
        return entries;
    }

    Layout VolumeLayout() {
        const std::unique_ptr<platform::DeviceHandle> volume = device_.OpenDevice(u"\\Big\\Vol:");
        std::vector<std::uint8_t> reply(platform::kVolumeParametersBytes);
        EXPECT_EQ(volume->Control(platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, nullptr, 0, reply.data(),
                                  platform::kVolumeParametersBytes, nullptr),
                  1);
        const auto word = [&](std::size_t at) { return static_cast<std::uint32_t>(reply[at] | reply[at + 1] << 8); };
        return {reply[15], reply[18], word(19), word(24)};
    }

    StorageDevice device_;
};

TEST_P(FormatTest, FormatsADismountedVolumeOrChangesNothing) {
    const FormatCase& c = GetParam();
    const auto opened = device_.OpenPartition(u"DSK2:", u"Part01");
    platform::DiskInfo disk{};
    if (c.partitionsDiskInfo) {
        ASSERT_EQ(opened.partition->Control(platform::DISK_IOCTL_GETINFO, disk.data(), 24, disk.data(), 24, nullptr),
                  1);
    }
    if (c.dismounted) {
        ASSERT_TRUE(opened.partition->Dismount());
    }
    const std::unique_ptr<platform::LoadedLibrary> library =
        device_.Platform().formatLibrary.LoadLibrary(u"FATUTIL.dll");
    const platform::FormatVolumeEntry formatVolume = library->FindFormatVolume(u"FormatVolume");
    const std::set<std::string> before = Entries();

    EXPECT_EQ(formatVolume(*opened.partition, disk, c.options), c.result);
    std::set<std::string> expected = before;
    if (c.result == error::kSuccess) {
        std::erase_if(expected, [](const std::string& entry) { return entry.starts_with("Big/") && entry != "Big/"; });
    } else {
        EXPECT_EQ(device_.LastError(), c.result);
    }
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(device_.Temp().Read("root/StorageCard/keep.bin"), "keep");
    EXPECT_EQ(VolumeLayout(), c.layout);
}

INSTANTIATE_TEST_SUITE_P(
    Options, FormatTest,
    ::testing::Values(
        FormatCase{"Fat12", {2048, 512, 12, 2, 3}, error::kSuccess, kUnchanged},
        FormatCase{"Fat12OneFatLargerClusters", {4096, 256, 12, 1, 0}, error::kSuccess, {8, 1, 256, 6}},
        FormatCase{"Fat16", {1024, 512, 16, 2, 1}, error::kSuccess, {2, 2, 512, 137}, "70000"},
        FormatCase{"Fat32", {512, 512, 32, 2, 2}, error::kSuccess, {1, 2, 512, 1539}, "200000"},
        FormatCase{"ClusterNotAPowerOfTwo", {3072, 512, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"ClusterSmallerThanASector", {256, 512, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"ClusterOver64KiB", {131072, 512, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"TooManyClustersForFat12", {512, 512, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"TooFewClustersForFat16", {2048, 512, 16, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"TooFewClustersForFat32", {512, 512, 32, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"UnknownFatVersion", {2048, 512, 14, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"RootEntriesNotFillingSectors", {2048, 500, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"NoRootEntries", {2048, 0, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"RootEntriesBeyond16Bits", {2048, 65536, 12, 2, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"ThreeFats", {2048, 512, 12, 3, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"NoFat", {2048, 512, 12, 0, 0}, error::kInvalidParameter, kUnchanged},
        FormatCase{"UnknownFlag", {2048, 512, 12, 2, 4}, error::kInvalidParameter, kUnchanged},
        FormatCase{"Mounted", {2048, 512, 12, 2, 3}, error::kSharingViolation, kUnchanged, "16000", "{}", false},
        FormatCase{"FormatFails",
                   {2048, 512, 12, 2, 3},
                   error::kAccessDenied,
                   kUnchanged,
                   "16000",
                   R"({"formatFails": true})"},
        FormatCase{
            "OtherDiskInfo", {2048, 512, 12, 2, 3}, error::kInvalidParameter, kUnchanged, "16000", "{}", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FatFormatterTest, RefusesAVolumeFolderThatIsALinkAndLeavesWhereItLeadsAlone) {
    StorageDevice device;
    device.Temp().Write("root/StorageCard/keep.bin", "keep");
    fs::create_directory_symlink("StorageCard", device.Temp().Root() / "Big");
    const auto opened = device.OpenPartition(u"DSK2:", u"Part01");
    platform::DiskInfo disk{};
    opened.partition->Control(platform::DISK_IOCTL_GETINFO, disk.data(), 24, disk.data(), 24, nullptr);
    ASSERT_TRUE(opened.partition->Dismount());
    const auto library = device.Platform().formatLibrary.LoadLibrary(u"FATUTIL.dll");

    EXPECT_EQ(library->FindFormatVolume(u"FormatVolume")(*opened.partition, disk, {2048, 512, 12, 2, 3}),
              error::kPathNotFound);
    EXPECT_EQ(device.Temp().Read("root/StorageCard/keep.bin"), "keep");
}

class ForeignPartition : public platform::Partition {
public:
    int Control(std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { return 0; }
    bool Dismount() override { return true; }
    bool Mount() override { return true; }
};

TEST(FatFormatterTest, RefusesAPartitionTheDeviceDidNotOpen) {
    StorageDevice device;
    ForeignPartition partition;
    const auto library = device.Platform().formatLibrary.LoadLibrary(u"FATUTIL.dll");

    EXPECT_EQ(library->FindFormatVolume(u"FormatVolume")(partition, {}, {2048, 512, 12, 2, 3}), error::kInvalidHandle);
    EXPECT_EQ(device.LastError(), error::kInvalidHandle);
}

struct LoadCase {
    const char* name;
    const char* faults;
    std::u16string_view library;
    std::u16string_view entry;
    std::uint32_t error;  // kSuccess: the entry point is found
};

class FormatLibraryTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(FormatLibraryTest, LoadsTheFatUtilityAndFindsFormatVolume) {
    const LoadCase& c = GetParam();
    StorageDevice device(c.faults);
    device.SetLastError();

    const std::unique_ptr<platform::LoadedLibrary> library = device.Platform().formatLibrary.LoadLibrary(c.library);
    const bool found = library && library->FindFormatVolume(c.entry);
    EXPECT_EQ(found, c.error == error::kSuccess);
    if (!found) {
        EXPECT_EQ(device.LastError(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FormatLibraryTest,
    ::testing::Values(LoadCase{"LibraryIgnoringCase", "{}", u"fatutil.DLL", u"FormatVolume", error::kSuccess},
                      LoadCase{"OtherLibrary", "{}", u"FATUTIL2.dll", u"FormatVolume", error::kModuleNotFound},
                      LoadCase{"LibraryMissing", R"({"formatLibraryMissing": true})", u"FATUTIL.dll", u"FormatVolume",
                               error::kModuleNotFound},
                      LoadCase{"EntryInOtherCase", "{}", u"FATUTIL.dll", u"formatvolume", error::kProcedureNotFound},
                      LoadCase{"EntryMissing", R"({"formatEntryMissing": true})", u"FATUTIL.dll", u"FormatVolume",
                               error::kProcedureNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
