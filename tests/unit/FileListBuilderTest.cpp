#include "platform/DeviceText.h"
#include "platform/StoreProfiles.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"
#include "support/StringLists.h"
#include "ui/picker/FileListBuilder.h"
#include "ui/picker/FileRowTexts.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velkor::ui {

void PrintTo(const FileRow& row, std::ostream* out) {
    using platform::ToUtf8;
    *out << static_cast<int>(row.kind) << " " << ToUtf8(row.name) << " | " << ToUtf8(row.type) << " | "
         << ToUtf8(row.size);
}

namespace {

using platform::kFileAttributeHidden;
using platform::kFileAttributeSystem;

FileRow Up() { return {RowKind::Up, u"..", u"Previous Layer", u""}; }
FileRow Folder(std::u16string name) { return {RowKind::Folder, std::move(name), u" Folder", u""}; }
FileRow File(std::u16string name, std::u16string type) { return {RowKind::File, std::move(name), type, u"0.00 MB"}; }

void AddStore(test::FakeRegistry& registry, std::u16string_view profile, std::u16string folder) {
    registry.AddKey(std::u16string(platform::kProfilesKey) + std::u16string(profile), {{u"Folder", std::move(folder)}});
}

struct ListingCase {
    const char* name;
    std::u16string folder;
    void (*prepare)(test::FakeFileSystem&, test::FakeRegistry&);
    std::vector<FileRow> rows;
};

class FileListBuilderTest : public testing::TestWithParam<ListingCase> {};

TEST_P(FileListBuilderTest, ListsTheRowsInTheirOrder) {
    test::FakeFileSystem fileSystem;
    test::FakeRegistry registry;
    GetParam().prepare(fileSystem, registry);
    const UiStrings strings;
    const platform::StringArray extensions = test::ArrayOf({u"bin"});

    EXPECT_EQ(FileListBuilder(fileSystem, registry, strings, extensions).Rows(GetParam().folder), GetParam().rows);
    EXPECT_EQ(fileSystem.OpenSearches(), 0);
    EXPECT_EQ(registry.OpenHandles(), 0);
}

const std::u16string kLongFolder = u"\\StorageCard\\" + std::u16string(240, u'd');

INSTANTIATE_TEST_SUITE_P(
    Folders, FileListBuilderTest,
    testing::Values(
        ListingCase{"FoldersFirstInSearchOrderThenAcceptedFiles", u"\\StorageCard",
                    [](test::FakeFileSystem& files, test::FakeRegistry&) {
                        files.AddFile(u"\\StorageCard\\a.bin", "");
                        files.AddDirectory(u"\\StorageCard\\Zeta");
                        files.AddFile(u"\\StorageCard\\NK.BIN", "");
                        files.AddFile(u"\\StorageCard\\readme.txt", "");
                        files.AddDirectory(u"\\StorageCard\\Alpha");
                        files.AddFile(u"\\StorageCard\\image.tar.bin", "");
                        files.AddFile(u"\\StorageCard\\NK.bin.bak", "");
                        files.AddFile(u"\\StorageCard\\bin", "");
                        files.AddFile(u"\\StorageCard\\App.Bin", "");
                    },
                    // The fake's search lists the newest entry first.
                    {Up(), Folder(u"Alpha"), Folder(u"Zeta"), File(u"App.Bin", u"Bin File"),
                     File(u"image.tar.bin", u"bin File"), File(u"NK.BIN", u"BIN File"), File(u"a.bin", u"bin File")}},
        ListingCase{"HiddenFilesAndSystemFoldersLeftOut", u"\\StorageCard",
                    [](test::FakeFileSystem& files, test::FakeRegistry&) {
                        files.AddFile(u"\\StorageCard\\secret.bin", "");
                        files.AddAttributes(u"\\StorageCard\\secret.bin", kFileAttributeHidden);
                        files.AddDirectory(u"\\StorageCard\\System Volume");
                        files.AddAttributes(u"\\StorageCard\\System Volume", kFileAttributeHidden | kFileAttributeSystem);
                        files.AddDirectory(u"\\StorageCard\\HiddenOnly");
                        files.AddAttributes(u"\\StorageCard\\HiddenOnly", kFileAttributeHidden);
                        files.AddDirectory(u"\\StorageCard\\SystemOnly");
                        files.AddAttributes(u"\\StorageCard\\SystemOnly", kFileAttributeSystem);
                    },
                    {Up(), Folder(u"SystemOnly"), Folder(u"HiddenOnly")}},
        ListingCase{"EmptyFolderOnlyUp", u"\\StorageCard",
                    [](test::FakeFileSystem& files, test::FakeRegistry&) { files.AddDirectory(u"\\StorageCard"); },
                    {Up()}},
        ListingCase{"MissingFolderOnlyUp", u"\\StorageCard\\Gone", [](test::FakeFileSystem&, test::FakeRegistry&) {},
                    {Up()}},
        ListingCase{"PathsLongerThanTheBuffersLeftOut", kLongFolder,
                    [](test::FakeFileSystem& files, test::FakeRegistry&) {
                        // The folder is 253 characters long: a backslash and five more make 259, the longest path.
                        files.AddFile(kLongFolder + u"\\a.bin", "");
                        files.AddFile(kLongFolder + u"\\ab.bin", "");
                        files.AddDirectory(kLongFolder + u"\\abcde");
                        files.AddDirectory(kLongFolder + u"\\abcdef");
                    },
                    {Up(), Folder(u"abcde"), File(u"a.bin", u"bin File")}},
        ListingCase{"FolderWhosePatternIsTooLongOnlyUp", kLongFolder + u"\\abcdef",
                    [](test::FakeFileSystem& files, test::FakeRegistry&) {
                        files.AddFile(kLongFolder + u"\\abcdef\\a.bin", "");
                    },
                    {Up()}}),
    [](const testing::TestParamInfo<ListingCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    RootView, FileListBuilderTest,
    testing::Values(
        ListingCase{"MountedStoresWithSuffixesOneToFour", u"",
                    [](test::FakeFileSystem& files, test::FakeRegistry& registry) {
                        AddStore(registry, u"SDMemory", u"StorageCard");
                        AddStore(registry, u"USBHD", u"Hard Disk");
                        for (auto folder : {u"\\StorageCard", u"\\StorageCard2", u"\\StorageCard4",
                                            u"\\StorageCard5", u"\\Hard Disk1"}) {
                            files.AddDirectory(folder);
                        }
                    },
                    {Folder(u"StorageCard"), Folder(u"StorageCard2"), Folder(u"StorageCard4"), Folder(u"Hard Disk1")}},
        ListingCase{"RepeatedFolderOnceFlashStoresNever", u"",
                    [](test::FakeFileSystem& files, test::FakeRegistry& registry) {
                        AddStore(registry, u"NandFlash", u"NandFlash");
                        AddStore(registry, u"SDMemory", u"StorageCard");
                        AddStore(registry, u"BinFLASH", u"VKRFlash");
                        AddStore(registry, u"SDMemory2", u"STORAGECARD");
                        AddStore(registry, u"Empty", u"");
                        files.AddDirectory(u"\\NandFlash");
                        files.AddDirectory(u"\\VKRFlash");
                        files.AddDirectory(u"\\StorageCard");
                    },
                    {Folder(u"StorageCard")}},
        ListingCase{"ProfilesKeyCannotBeOpened", u"",
                    [](test::FakeFileSystem& files, test::FakeRegistry& registry) {
                        AddStore(registry, u"SDMemory", u"StorageCard");
                        registry.FailOpen(platform::kProfilesKey);
                        files.AddDirectory(u"\\StorageCard");
                    },
                    {}},
        // A root whose search fails shows the Up row alone; going up from there stays in the root view.
        ListingCase{"RootThatCannotBeSearched", u"",
                    [](test::FakeFileSystem&, test::FakeRegistry& registry) {
                        AddStore(registry, u"SDMemory", u"StorageCard");
                    },
                    {Up()}}),
    [](const testing::TestParamInfo<ListingCase>& info) { return info.param.name; });

TEST(FileListBuilderTexts, FollowTheInterfaceLanguage) {
    test::FakeFileSystem fileSystem;
    test::FakeRegistry registry;
    fileSystem.AddDirectory(u"\\StorageCard\\Images");
    fileSystem.AddFile(u"\\StorageCard\\NK.bin", std::string(1572864, '\0'));
    UiStrings strings;
    strings.UseChineseSet();
    const platform::StringArray extensions = test::ArrayOf({u"bmp", u"bin"});

    EXPECT_EQ(FileListBuilder(fileSystem, registry, strings, extensions).Rows(u"\\StorageCard"),
              (std::vector<FileRow>{{RowKind::Up, u"..", u"上一层", u""},
                                    {RowKind::Folder, u"Images", u" 文件夹", u""},
                                    {RowKind::File, u"NK.bin", u"bin 文件", u"1.50 MB"}}));
}

TEST(SizeText, PassesThroughSinglePrecision) {
    const std::vector<std::pair<std::uint64_t, std::u16string>> cases{
        {0, u"0.00 MB"},
        {1048575, u"1.00 MB"},
        {1572864, u"1.50 MB"},
        {123456789, u"117.74 MB"},
        // Rounded to 24 significant bits first: 16.0150003 MB becomes 16.01, not 16.02.
        {16792945, u"16.01 MB"},
        // Lengths past 32 bits are shown whole, not wrapped.
        {5ULL << 30, u"5120.00 MB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(SizeText(bytes), text) << bytes;
    }
}

}  // namespace
}  // namespace velkor::ui
