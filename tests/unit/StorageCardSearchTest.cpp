#include "mainwnd/StorageCardSearch.h"
#include "platform/StoreProfiles.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace velkor::mainwnd {
namespace {

struct Profile {
    std::u16string name;
    std::optional<std::u16string> folder;
};

struct SearchCase {
    const char* name;
    std::vector<Profile> profiles;
    std::vector<std::u16string> existingFolders;
    std::u16string root;
    bool profilesKeyFails = false;
};

class StorageCardSearchTest : public testing::TestWithParam<SearchCase> {};

TEST_P(StorageCardSearchTest, FindsTheRootOfTheLastUsableProfile) {
    test::FakeRegistry registry;
    test::FakeFileSystem fileSystem;
    for (const Profile& profile : GetParam().profiles) {
        test::FakeRegistry::Values values;
        if (profile.folder) {
            values.emplace_back(u"Folder", *profile.folder);
        }
        registry.AddKey(std::u16string(platform::kProfilesKey) + profile.name, values);
    }
    if (GetParam().profilesKeyFails) {
        registry.FailOpen(platform::kProfilesKey);
    }
    for (const auto& folder : GetParam().existingFolders) {
        fileSystem.AddDirectory(folder);
    }

    EXPECT_EQ(FindStorageCard(registry, fileSystem), GetParam().root);
    EXPECT_EQ(registry.OpenHandles(), 0);
}

const std::u16string kLongFolder(260, u'x');

INSTANTIATE_TEST_SUITE_P(
    Profiles, StorageCardSearchTest,
    testing::Values(
        SearchCase{"NoProfiles", {}, {u"\\StorageCard"}, u""},
        SearchCase{"OneCard", {{u"SDMemory", u"StorageCard"}}, {u"\\StorageCard"}, u"\\StorageCard"},
        SearchCase{"FolderMissing", {{u"SDMemory", u"StorageCard"}}, {}, u""},
        SearchCase{"ProfileWithoutFolder", {{u"SDMemory", std::nullopt}}, {u"\\StorageCard"}, u""},
        SearchCase{"FolderValueTooLong", {{u"SDMemory", kLongFolder}}, {u"\\" + kLongFolder}, u""},
        SearchCase{"FlashProfilesSkipped",
                   {{u"NandFLASH", u"NandFlash"}, {u"BinFLASH", u"VKRFlash"}, {u"myFlashDisk", u"Disk"}},
                   {u"\\NandFlash", u"\\VKRFlash", u"\\Disk"},
                   u""},
        SearchCase{"SuffixTwo", {{u"SD", u"Storage Card"}}, {u"\\Storage Card2"}, u"\\Storage Card2"},
        SearchCase{"SuffixFour", {{u"SD", u"Storage Card"}}, {u"\\Storage Card4"}, u"\\Storage Card4"},
        SearchCase{"SuffixFiveNotTried", {{u"SD", u"Storage Card"}}, {u"\\Storage Card5"}, u""},
        SearchCase{"PlainNameBeforeSuffix", {{u"SD", u"Card"}}, {u"\\Card1", u"\\Card"}, u"\\Card"},
        SearchCase{"CaseOfFolderIgnoredOnDisk", {{u"SD", u"storagecard"}}, {u"\\StorageCard"}, u"\\storagecard"},
        SearchCase{"LastProfileWins", {{u"SD", u"CardA"}, {u"USB", u"CardB"}}, {u"\\CardA", u"\\CardB"}, u"\\CardB"},
        SearchCase{"LaterProfileWithoutCardKeepsEarlierRoot",
                   {{u"SD", u"CardA"}, {u"USB", u"CardB"}},
                   {u"\\CardA"},
                   u"\\CardA"},
        SearchCase{"RepeatedFolderSkippedWhateverItsCase",
                   {{u"SD", u"CardA"}, {u"USB", u"CardB"}, {u"SD2", u"CARDA"}},
                   {u"\\CardA", u"\\CardB"},
                   u"\\CardB"},
        SearchCase{"ProfilesKeyCannotBeOpened", {{u"SD", u"StorageCard"}}, {u"\\StorageCard"}, u"", true}),
    [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::mainwnd
