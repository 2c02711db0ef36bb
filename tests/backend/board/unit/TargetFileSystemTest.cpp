#include "support/ProgramRun.h"
#include "backend/board/TargetFileSystem.h"
#include "backend/board/TargetSystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;
using test::ReadHostFile;
using test::WriteHostFile;

// Two device folders on two host folders, a third name for the first one's host folder, and a host
// file beside them that no path may reach.
class TwoFolders {
public:
    TwoFolders() {
        fs::create_directories(Card());
        fs::create_directories(Data());
        WriteHostFile(Card() / "logo2.bmp", "BM logo");
        WriteHostFile(Outside(), "outside");
    }
    fs::path Card() const { return fs::path(temp_.path().toStdString()) / "card"; }
    fs::path Data() const { return fs::path(temp_.path().toStdString()) / "data"; }
    fs::path Outside() const { return fs::path(temp_.path().toStdString()) / "secret"; }
    std::vector<FolderMapping> Mappings() const {
        return {{u"StorageCard", Card()}, {u"VKRFlash", Data()}, {u"Alias", Card()}};
    }

private:
    QTemporaryDir temp_;
};

struct RouteCase {
    const char* name;
    bool dataDismounted;
    // Does something through the file system; true when the call succeeded.
    std::function<bool(platform::FileSystem&)> act;
    bool succeeds;
    std::uint32_t error;
    // The data folder's logo after the call.
    const char* copiedLogo;
};

class TargetFileSystemTest : public testing::TestWithParam<RouteCase> {};

TEST_P(TargetFileSystemTest, RoutesEachPathToItsFolder) {
    const TwoFolders folders;
    shared::DismountedFolders dismounted;
    if (GetParam().dataDismounted) {
        dismounted.Add(u"VKRFlash");
    }
    shared::ErrorState errors;
    TargetFileSystem files(folders.Mappings(), dismounted, errors);
    EXPECT_EQ(GetParam().act(files), GetParam().succeeds);
    if (!GetParam().succeeds) {
        EXPECT_EQ(errors.Last(), GetParam().error);
    }
    EXPECT_EQ(ReadHostFile(folders.Data() / "Logo.bmp"), GetParam().copiedLogo);
    EXPECT_EQ(ReadHostFile(folders.Outside()), "outside");
    EXPECT_EQ(ReadHostFile(folders.Card() / "logo2.bmp"), "BM logo");
}

bool ListsRoot(platform::FileSystem& files, const std::vector<std::u16string>& expected) {
    platform::FindData entry;
    std::vector<std::u16string> names;
    auto search = files.FindFirstFile(u"\\*.*", entry);
    for (bool more = search != nullptr; more; more = search->FindNext(entry)) {
        EXPECT_EQ(entry.attributes, platform::kFileAttributeDirectory);
        names.push_back(entry.name);
    }
    return names == expected;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TargetFileSystemTest,
    testing::Values(
        RouteCase{"CopyBetweenFolders", false,
                  [](platform::FileSystem& files) {
                      return files.CopyFile(u"\\storagecard\\LOGO2.BMP", u"\\VKRFlash\\Logo.bmp");
                  },
                  true, 0, "BM logo"},
        RouteCase{"CopyOntoItselfThroughASecondFolderName", false,
                  [](platform::FileSystem& files) {
                      return files.CopyFile(u"\\StorageCard\\logo2.bmp", u"\\Alias\\LOGO2.bmp");
                  },
                  false, error::kSharingViolation, ""},
        RouteCase{"DismountedFolderIsAbsent", true,
                  [](platform::FileSystem& files) {
                      return files.CopyFile(u"\\StorageCard\\logo2.bmp", u"\\VKRFlash\\Logo.bmp");
                  },
                  false, error::kPathNotFound, ""},
        RouteCase{"NoWayOutOfAFolder", false,
                  [](platform::FileSystem& files) {
                      return files.CopyFile(u"\\StorageCard\\..\\secret", u"\\VKRFlash\\Logo.bmp");
                  },
                  false, error::kInvalidName, ""},
        RouteCase{"NothingIsMadeInTheRoot", false,
                  [](platform::FileSystem& files) { return files.CreateDirectory(u"\\"); }, false,
                  error::kAccessDenied, ""},
        RouteCase{"MovesStayInTheirFolder", false,
                  [](platform::FileSystem& files) {
                      return files.MoveFile(u"\\StorageCard\\logo2.bmp", u"\\VKRFlash\\Logo.bmp");
                  },
                  false, error::kAccessDenied, ""},
        RouteCase{"RootListsThePresentFoldersByName", true,
                  [](platform::FileSystem& files) {
                      return ListsRoot(files, {u"Alias", u"StorageCard"}) &&
                             files.GetAttributes(u"\\") == platform::kFileAttributeDirectory;
                  },
                  true, 0, ""}),
    [](const testing::TestParamInfo<RouteCase>& info) { return info.param.name; });

TEST(TargetSystemTest, MapsPrioritiesAndLocales) {
    EXPECT_EQ(NiceForPriority(251), 0);
    EXPECT_EQ(NiceForPriority(250), -1);
    EXPECT_EQ(NiceForPriority(0), -20);
    EXPECT_EQ(LanguageFromLocale("zh_CN"), 0x0804);
    EXPECT_EQ(LanguageFromLocale("zh_TW"), 0x0409);
}

}  // namespace
}  // namespace velkor::board
