#include "sim/PathResolver.h"

#include "platform/DeviceText.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

struct ResolveCase {
    const char* name;
    std::u16string devicePath;
    std::uint32_t error;
    const char* hostPath;  // relative to the root, when resolved
};

class PathResolverTest : public ::testing::TestWithParam<ResolveCase> {
protected:
    static void SetUpTestSuite() {
        sandbox_ = new QTemporaryDir();
        const fs::path base = sandbox_->path().toStdString();
        root_ = base / "root";
        for (const char* file : {"StorageCard/Images/LOGO2.BMP", "Folder/a.txt", "Folder/A.TXT"}) {
            velkor::test::WriteHostFile(root_ / file, "x");
        }
        velkor::test::WriteHostFile(base / "outside/secret.txt", "secret");
        fs::create_directory_symlink(base / "outside", root_ / "StorageCard/out");
        fs::create_directory_symlink(root_ / "Folder", root_ / "StorageCard/inside");
        fs::create_symlink(root_ / "nothing", root_ / "dangling");
        fs::create_symlink(root_ / "loop", root_ / "loop");
    }
    static void TearDownTestSuite() { delete sandbox_; }

    static QTemporaryDir* sandbox_;
    static fs::path root_;
};

QTemporaryDir* PathResolverTest::sandbox_ = nullptr;
fs::path PathResolverTest::root_;

TEST_P(PathResolverTest, ResolvesInsideTheRootOrRefuses) {
    const ResolveCase& c = GetParam();
    const ResolvedPath resolved = PathResolver(root_).Resolve(c.devicePath);

    ASSERT_EQ(resolved.error, c.error);
    if (c.error == error::kSuccess) {
        std::string components;
        for (const std::u16string& component : resolved.components) {
            components += (components.empty() ? "" : "/") + platform::ToUtf8(component);
        }
        EXPECT_EQ(components, c.hostPath) << "components spell the entries found";
        EXPECT_EQ(resolved.host, components.empty() ? fs::canonical(root_) : fs::canonical(root_) / components);
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
        ResolveCase{"NewNameKeepsSpelling", u"\\storagecard\\New Folder\\New.TXT", error::kSuccess,
                    "StorageCard/New Folder/New.TXT"},
        ResolveCase{"ExactNamePreferred", u"\\Folder\\a.txt", error::kSuccess, "Folder/a.txt"},
        ResolveCase{"FirstNameOtherwise", u"\\Folder\\a.TXT", error::kSuccess, "Folder/A.TXT"},
        ResolveCase{"HostAbsolutePathStaysInside", u"/etc/passwd", error::kSuccess, "etc/passwd"},
        ResolveCase{"LinkInside", u"\\StorageCard\\inside\\A.txt", error::kSuccess, "StorageCard/inside/A.TXT"},
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
        ResolveCase{"DanglingLink", u"\\dangling", error::kAccessDenied, ""},
        ResolveCase{"LinkLoop", u"\\loop\\x", error::kAccessDenied, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
