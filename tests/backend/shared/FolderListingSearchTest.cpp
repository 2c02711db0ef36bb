#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/StorageDevice.h"
#include "backend/sim/TempDevice.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

constexpr std::uint32_t kFolder = platform::kFileAttributeDirectory;
constexpr std::uint32_t kFile = platform::kFileAttributeArchive;
constexpr std::uint32_t kProtectedFile = kFile | platform::kFileAttributeReadOnly;
constexpr std::uint32_t kHidden = platform::kFileAttributeHidden;
constexpr std::uint32_t kSystem = platform::kFileAttributeSystem;
constexpr std::uint64_t kHugeSize = 5ULL << 30;  // beyond 32 bits

// An entry as a search returns it: name (UTF-8), attributes, size.
using Entry = std::tuple<std::string, std::uint32_t, std::uint64_t>;

// \StorageCard\Images write-protected; attributes for paths in other letter cases, without their
// leading and with a trailing backslash; a volume at \VKRFlash.
constexpr std::string_view kDeviceJson = R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
    "faults": {{"writeProtected": ["\\StorageCard\\Images"]}},
    "fileAttributes": {{"storagecard\\SYSTEM VOLUME INFORMATION\\": 22, "\\StorageCard\\OLD.BIN": "0x22"}},
    "stores": [{{"deviceName": "DSK2:", "profile": "BinFLASH", "partitions": [
        {{"name": "Flash", "volume": "\\VKRFlash", "folder": "VKRFlash", "fat": {}}}]}}]}})";

constexpr std::string_view kNotUtf8 = "root/StorageCard/Unusable/\xff.bin";

std::ptrdiff_t OpenDescriptors() {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

struct ListingCase {
    const char* name;
    std::u16string pattern;
    std::uint32_t error;  // kSuccess: the search lists `entries`, in any order
    std::set<Entry> entries;
};

// A device with \NandFlash, \VKRFlash dismounted, and \StorageCard holding: Images\ (write-protected)
// with NK.bin ("image") and Logo2.BMP (empty); Empty\; System Volume Information\ (hidden, system);
// old.bin ("old", hidden); Huge.bin (5 GiB, sparse); Unusable\ with a name not in UTF-8 and a link
// loop; the links NKLink -> Images/NK.bin, ImagesLink -> Images, Out (out of the root), Dangling;
// and a file named bad:name.
class FolderListingSearchTest : public ::testing::TestWithParam<ListingCase> {
protected:
    FolderListingSearchTest() {
        const fs::path card = temp_.Root() / "StorageCard";
        temp_.Write("device.json", fmt::format(kDeviceJson, test::kFat12));
        temp_.Write("root/NandFlash/nand.txt", "nand");
        temp_.Write("root/VKRFlash/$MSD$/startup.log", "started");
        temp_.Write("root/StorageCard/Images/NK.bin", "image");
        temp_.Write("root/StorageCard/Images/Logo2.BMP", "");
        temp_.Write("root/StorageCard/old.bin", "old");
        temp_.Write("root/StorageCard/bad:name", "");
        temp_.Write(kNotUtf8, "");
        temp_.Write("root/StorageCard/Huge.bin", "");
        fs::create_directories(card / "Empty");
        fs::create_directories(card / "System Volume Information");
        fs::resize_file(card / "Huge.bin", kHugeSize);
        fs::create_symlink("Images/NK.bin", card / "NKLink");
        fs::create_directory_symlink("Images", card / "ImagesLink");
        fs::create_directory_symlink(temp_.Dir(), card / "Out");
        fs::create_symlink("missing.bin", card / "Dangling");
        fs::create_symlink("Loop", card / "Unusable/Loop");
        sim_.emplace(temp_.Dir());
        EXPECT_TRUE(sim_->platform().storageManager.OpenStore(u"DSK2:")->OpenPartition(u"Flash")->Dismount());
    }
    // The temporary folder's own clean-up cannot name this file.
    ~FolderListingSearchTest() override { fs::remove(temp_.Dir() / kNotUtf8); }

    platform::FileSystem& Files() { return sim_->platform().fileSystem; }
    std::uint32_t LastError() { return sim_->platform().system.GetLastError(); }

    test::TempDevice temp_;
    std::optional<SimPlatform> sim_;
};

TEST_P(FolderListingSearchTest, ListsWhatTheDeviceCanReachAndClosesEverything) {
    const ListingCase& c = GetParam();
    const std::ptrdiff_t descriptors = OpenDescriptors();
    std::set<Entry> listed;
    {
        platform::FindData entry;
        const std::unique_ptr<platform::FolderSearch> search = Files().FindFirstFile(c.pattern, entry);
        ASSERT_EQ(search != nullptr, c.error == error::kSuccess) << LastError();
        for (bool found = search != nullptr; found; found = search->FindNext(entry)) {
            EXPECT_TRUE(listed.insert({platform::ToUtf8(entry.name), entry.attributes, entry.size}).second);
            const std::u16string path = c.pattern.substr(0, c.pattern.size() - 3) + entry.name;
            EXPECT_EQ(Files().GetAttributes(path), entry.attributes) << platform::ToUtf8(path);
        }
        EXPECT_EQ(LastError(), search ? error::kNoMoreFiles : c.error);
    }
    EXPECT_EQ(listed, c.entries);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

const std::set<Entry> kImages{{"NK.bin", kProtectedFile, 5}, {"Logo2.BMP", kProtectedFile, 0}};

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderListingSearchTest,
    ::testing::Values(
        ListingCase{"StorageCard", u"\\storagecard\\*.*", error::kSuccess,
                    {{"Images", kFolder, 0}, {"Empty", kFolder, 0}, {"Unusable", kFolder, 0},
                     {"System Volume Information", kFolder | kHidden | kSystem, 0}, {"old.bin", kFile | kHidden, 3},
                     {"Huge.bin", kFile, kHugeSize}, {"NKLink", kProtectedFile, 5}, {"ImagesLink", kFolder, 0}}},
        ListingCase{"ProtectedFolderInOtherCase", u"STORAGECARD/images\\*.*", error::kSuccess, kImages},
        ListingCase{"ThroughALink", u"\\StorageCard\\ImagesLink\\*.*", error::kSuccess, kImages},
        ListingCase{"RootWithoutTheDismountedVolume", u"\\*.*", error::kSuccess,
                    {{"NandFlash", kFolder, 0}, {"StorageCard", kFolder, 0}}},
        ListingCase{"EmptyFolder", u"\\StorageCard\\Empty\\*.*", error::kFileNotFound, {}},
        ListingCase{"NothingUsable", u"\\StorageCard\\Unusable\\*.*", error::kFileNotFound, {}},
        ListingCase{"MissingFolder", u"\\StorageCard\\None\\*.*", error::kPathNotFound, {}},
        ListingCase{"FileAsFolder", u"\\StorageCard\\old.bin\\*.*", error::kPathNotFound, {}},
        ListingCase{"DismountedVolume", u"\\vkrflash\\*.*", error::kPathNotFound, {}},
        ListingCase{"LinkOutOfTheRoot", u"\\StorageCard\\Out\\*.*", error::kAccessDenied, {}},
        ListingCase{"OtherPattern", u"\\StorageCard\\*.bin", error::kInvalidParameter, {}},
        ListingCase{"FolderWithoutPattern", u"\\StorageCard", error::kInvalidParameter, {}},
        ListingCase{"WildcardInTheFolder", u"\\Storage?ard\\*.*", error::kInvalidParameter, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
