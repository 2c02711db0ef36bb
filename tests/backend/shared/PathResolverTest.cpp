#include "backend/shared/PathResolver.h"

#include "platform/DeviceText.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

struct ResolveCase {
    const char* name;
    std::u16string devicePath;
    std::uint32_t error;
    const char* location;  // where the entry is, relative to the root, when resolved
    shared::FinalLink finalLink = shared::FinalLink::Follow;
};

const shared::DismountedFolders kNoneDismounted;

bool IsFolder(const shared::UniqueFd& fd, const fs::path& host) {
    struct stat opened {};
    struct stat expected {};
    return ::fstat(fd.Get(), &opened) == 0 && ::stat(host.c_str(), &expected) == 0 &&
           opened.st_dev == expected.st_dev && opened.st_ino == expected.st_ino;
}

class PathResolverTest : public ::testing::TestWithParam<ResolveCase> {
protected:
    static void SetUpTestSuite() {
        sandbox_ = new QTemporaryDir();
        const fs::path base = fs::canonical(sandbox_->path().toStdString());
        root_ = base / "root";
        for (const char* file : {"StorageCard/Images/LOGO2.BMP", "Folder/a.txt", "Folder/A.TXT", "etc/passwd"}) {
            velkor::test::WriteHostFile(root_ / file, "x");
        }
        velkor::test::WriteHostFile(base / "outside/secret.txt", "secret");
        // The resolver is given the root through a link, so that both of its spellings are in use.
        fs::create_directory_symlink(root_, base / "root-alias");
        rootAsGiven_ = base / "root-alias";
        fs::create_directory_symlink(base / "outside", root_ / "StorageCard/out");
        fs::create_directory_symlink("../../outside", root_ / "StorageCard/escape");
        fs::create_directory_symlink(root_ / "Folder", root_ / "StorageCard/inside");
        fs::create_directory_symlink(rootAsGiven_ / "Folder", root_ / "StorageCard/aliased");
        fs::create_directory_symlink("../Folder", root_ / "StorageCard/up");
        fs::create_directory_symlink("..", root_ / "StorageCard/top");
        fs::create_symlink(root_ / "nothing", root_ / "dangling");
        fs::create_symlink(root_ / "loop", root_ / "loop");
    }
    static void TearDownTestSuite() { delete sandbox_; }

    static QTemporaryDir* sandbox_;
    static fs::path root_;
    static fs::path rootAsGiven_;
};

QTemporaryDir* PathResolverTest::sandbox_ = nullptr;
fs::path PathResolverTest::root_;
fs::path PathResolverTest::rootAsGiven_;

TEST_P(PathResolverTest, ResolvesInsideTheRootOrRefuses) {
    const ResolveCase& c = GetParam();
    const shared::ResolvedPath resolved = shared::PathResolver(rootAsGiven_, kNoneDismounted).Resolve(c.devicePath, c.finalLink);

    ASSERT_EQ(resolved.error, c.error);
    if (c.error == error::kSuccess) {
        std::string components;
        for (const std::u16string& component : resolved.components) {
            components += (components.empty() ? "" : "/") + platform::ToUtf8(component);
        }
        const fs::path location(c.location);
        EXPECT_EQ(components, c.location) << "components spell the entries found";
        EXPECT_EQ(resolved.name, location.empty() ? "." : location.filename().string());
        EXPECT_TRUE(IsFolder(resolved.folder, location.empty() ? root_ : (root_ / location).parent_path()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathResolverTest,
    ::testing::Values(
        ResolveCase{"ExactCase", u"\\StorageCard\\Images\\LOGO2.BMP", error::kSuccess, "StorageCard/Images/LOGO2.BMP"},
        ResolveCase{"OtherCase", u"\\storagecard\\IMAGES\\logo2.bmp", error::kSuccess, "StorageCard/Images/LOGO2.BMP"},
        ResolveCase{"NoLeadingBackslash", u"StorageCard\\Images\\logo2.bmp", error::kSuccess,
                    "StorageCard/Images/LOGO2.BMP"},
        ResolveCase{"TrailingBackslash", u"\\StorageCard\\Images\\", error::kSuccess, "StorageCard/Images"},
        ResolveCase{"SlashesEmptyAndDot", u"/StorageCard//./Images/Logo2.bmp", error::kSuccess,
                    "StorageCard/Images/LOGO2.BMP"},
        ResolveCase{"Root", u"\\", error::kSuccess, ""},
        ResolveCase{"NewNameKeepsSpelling", u"\\storagecard\\New.TXT", error::kSuccess, "StorageCard/New.TXT"},
        ResolveCase{"MissingFolder", u"\\storagecard\\New Folder\\New.TXT", error::kPathNotFound, ""},
        ResolveCase{"BelowAFile", u"\\Folder\\a.txt\\x", error::kPathNotFound, ""},
        ResolveCase{"ExactNamePreferred", u"\\Folder\\a.txt", error::kSuccess, "Folder/a.txt"},
        ResolveCase{"FirstNameOtherwise", u"\\Folder\\a.TXT", error::kSuccess, "Folder/A.TXT"},
        ResolveCase{"HostAbsolutePathStaysInside", u"/etc/passwd", error::kSuccess, "etc/passwd"},
        ResolveCase{"LinkInside", u"\\StorageCard\\inside\\A.txt", error::kSuccess, "Folder/A.TXT"},
        ResolveCase{"LinkThroughTheRootAsGiven", u"\\StorageCard\\aliased\\a.txt", error::kSuccess, "Folder/a.txt"},
        ResolveCase{"RelativeLink", u"\\StorageCard\\UP\\a.txt", error::kSuccess, "Folder/a.txt"},
        ResolveCase{"LinkToAFolderLast", u"\\StorageCard\\inside", error::kSuccess, "Folder"},
        ResolveCase{"LinkUpToTheRoot", u"\\StorageCard\\top", error::kSuccess, ""},
        ResolveCase{"LinkKeptLast", u"\\storagecard\\OUT", error::kSuccess, "StorageCard/out", shared::FinalLink::Keep},
        ResolveCase{"DotDot", u"\\StorageCard\\..\\..\\outside\\secret.txt", error::kInvalidName, ""},
        ResolveCase{"DotDotAlone", u"..", error::kInvalidName, ""},
        ResolveCase{"DriveLetter", u"C:\\x", error::kInvalidName, ""},
        ResolveCase{"Wildcard", u"\\StorageCard\\*.bin", error::kInvalidName, ""},
        ResolveCase{"QuestionMark", u"\\StorageCard\\NK?.bin", error::kInvalidName, ""},
        ResolveCase{"Quote", u"\\\"x\"", error::kInvalidName, ""},
        ResolveCase{"Pipe", u"\\a|b", error::kInvalidName, ""},
        ResolveCase{"ControlCharacter", std::u16string(u"\\a\0b", 4), error::kInvalidName, ""},
        ResolveCase{"LinkOutside", u"\\StorageCard\\out\\secret.txt", error::kAccessDenied, ""},
        ResolveCase{"LinkOutsideItself", u"\\storagecard\\OUT", error::kAccessDenied, ""},
        ResolveCase{"RelativeLinkOutside", u"\\StorageCard\\escape\\secret.txt", error::kAccessDenied, ""},
        ResolveCase{"DanglingLink", u"\\dangling", error::kAccessDenied, ""},
        ResolveCase{"LinkLoop", u"\\loop\\x", error::kAccessDenied, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Every way into a dismounted folder of the root: by either spelling, below it, and through each
// kind of link.
class DismountedFolderTest : public PathResolverTest {};

TEST_P(DismountedFolderTest, PathsIntoTheFolderAreNotFound) {
    const ResolveCase& c = GetParam();
    shared::DismountedFolders dismounted;
    dismounted.Add(u"folder");

    EXPECT_EQ(shared::PathResolver(rootAsGiven_, dismounted).Resolve(c.devicePath, c.finalLink).error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DismountedFolderTest,
    ::testing::Values(ResolveCase{"TheFolder", u"\\Folder", error::kPathNotFound, ""},
                      ResolveCase{"OtherCase", u"\\FOLDER\\a.txt", error::kPathNotFound, ""},
                      ResolveCase{"NewName", u"\\Folder\\new.txt", error::kPathNotFound, ""},
                      ResolveCase{"AbsoluteLink", u"\\StorageCard\\inside\\A.txt", error::kPathNotFound, ""},
                      ResolveCase{"LinkThroughTheRootAsGiven", u"\\StorageCard\\aliased", error::kPathNotFound, ""},
                      ResolveCase{"RelativeLink", u"\\StorageCard\\up\\a.txt", error::kPathNotFound, ""},
                      ResolveCase{"LinkToTheRootThenDown", u"\\StorageCard\\top\\Folder", error::kPathNotFound, ""},
                      ResolveCase{"OtherFolder", u"\\StorageCard\\Images\\LOGO2.BMP", error::kSuccess, ""},
                      ResolveCase{"SameNameDeeper", u"\\StorageCard\\Folder", error::kSuccess, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::shared
