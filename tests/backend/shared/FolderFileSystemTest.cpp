#include "platform/ErrorCodes.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/FileSystemDevice.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <set>
#include <thread>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;
using platform::FileMode;
using test::Device;
using test::Pattern;

constexpr std::uint32_t kArchive = platform::kFileAttributeArchive;

struct AttributeCase {
    const char* name;
    std::u16string path;
    std::uint32_t attributes;
    std::uint32_t error;
};

class AttributeTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeTest, TellsWhatIsThere) {
    const AttributeCase& c = GetParam();
    Device device(R"({"writeProtected": ["\\StorageCard\\Images"]})");

    EXPECT_EQ(device.Files().GetAttributes(c.path), c.attributes);
    EXPECT_EQ(device.LastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AttributeTest,
    ::testing::Values(
        AttributeCase{"Folder", u"\\storagecard2", platform::kFileAttributeDirectory, error::kSuccess},
        AttributeCase{"File", u"\\STORAGECARD2\\Other.bin", kArchive, error::kSuccess},
        AttributeCase{"ProtectedFile", u"\\storagecard\\images\\nk.bin", kArchive | platform::kFileAttributeReadOnly,
                      error::kSuccess},
        AttributeCase{"ProtectedFolder", u"\\StorageCard\\Images", platform::kFileAttributeDirectory, error::kSuccess},
        AttributeCase{"MissingFile", u"\\StorageCard\\none.bin", platform::kInvalidFileAttributes,
                      error::kFileNotFound},
        AttributeCase{"MissingFolder", u"\\Nowhere\\none.bin", platform::kInvalidFileAttributes, error::kPathNotFound},
        AttributeCase{"BelowAFile", u"\\StorageCard\\Images\\NK.bin\\x", platform::kInvalidFileAttributes,
                      error::kPathNotFound},
        AttributeCase{"OutOfTheRoot", u"\\..\\device.json", platform::kInvalidFileAttributes, error::kInvalidName}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderFileSystemTest, ReadsAFileFoundWithoutRegardToCase) {
    Device device;
    const std::unique_ptr<platform::File> file =
        device.Files().OpenFile(u"storagecard\\IMAGES\\nk.BIN", FileMode::Read);
    ASSERT_TRUE(file);
    char buffer[16] = {};
    std::uint32_t bytesRead = 0;

    EXPECT_EQ(file->Length(), 5U);
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, bytesRead));
    EXPECT_EQ(std::string(buffer, bytesRead), "image");
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, bytesRead));
    EXPECT_EQ(bytesRead, 0U);
    EXPECT_FALSE(file->Write("x", 1)) << "opened for reading";
    EXPECT_EQ(device.LastError(), error::kAccessDenied);
}

TEST(FolderFileSystemTest, CreateTruncateEmptiesTheExistingFileOrMakesANewOne) {
    Device device;

    EXPECT_TRUE(device.Write(u"\\storagecard\\images\\NK.BIN", FileMode::CreateTruncate, "new"));
    EXPECT_TRUE(device.Write(u"\\StorageCard\\New.cfg", FileMode::CreateTruncate, "cfg"));
    EXPECT_EQ(device.Host("StorageCard/Images/NK.bin"), "new");
    EXPECT_EQ(device.Host("StorageCard/New.cfg"), "cfg");
    EXPECT_FALSE(device.HostExists("StorageCard/Images/NK.BIN"));
}

struct OpenFailureCase {
    const char* name;
    std::u16string path;
    FileMode mode;
    std::uint32_t error;
};

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, FailsWithTheDevicesError) {
    const OpenFailureCase& c = GetParam();
    Device device;

    EXPECT_FALSE(device.Files().OpenFile(c.path, c.mode));
    EXPECT_EQ(device.LastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"FolderForReading", u"\\StorageCard", FileMode::Read, error::kAccessDenied},
        OpenFailureCase{"FolderForWriting", u"\\StorageCard\\", FileMode::CreateTruncate, error::kAccessDenied},
        OpenFailureCase{"MissingFile", u"\\StorageCard\\none", FileMode::Read, error::kFileNotFound},
        OpenFailureCase{"MissingFileForUpdate", u"\\StorageCard\\none", FileMode::ReadWrite, error::kFileNotFound},
        OpenFailureCase{"MissingFolder", u"\\Nowhere\\new", FileMode::CreateTruncate, error::kPathNotFound},
        OpenFailureCase{"NewNameTaken", u"\\StorageCard\\Images\\nk.BIN", FileMode::CreateNew, error::kAlreadyExists},
        OpenFailureCase{"Wildcard", u"\\StorageCard\\*", FileMode::CreateTruncate, error::kInvalidName}),
    [](const auto& info) { return std::string(info.param.name); });

struct CreateDirectoryCase {
    const char* name;
    std::u16string path;
    std::uint32_t error;
    const char* made;  // the host folder made, relative to the root
};

class CreateDirectoryTest : public ::testing::TestWithParam<CreateDirectoryCase> {};

TEST_P(CreateDirectoryTest, MakesOneFolderOrNothing) {
    const CreateDirectoryCase& c = GetParam();
    Device device(R"({"writeProtected": ["\\StorageCard2"]})");
    const std::set<std::string> before = device.Entries();

    EXPECT_EQ(device.Files().CreateDirectory(c.path), c.error == error::kSuccess);
    EXPECT_EQ(device.LastError(), c.error);
    std::set<std::string> expected = before;
    if (c.error == error::kSuccess) {
        expected.insert(std::string(c.made) + "/");
    }
    EXPECT_EQ(device.Entries(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CreateDirectoryTest,
    ::testing::Values(
        CreateDirectoryCase{"New", u"\\StorageCard\\New Folder", error::kSuccess, "StorageCard/New Folder"},
        CreateDirectoryCase{"BelowAFolderOfOtherCase", u"\\STORAGECARD\\images\\Logos", error::kSuccess,
                            "StorageCard/Images/Logos"},
        CreateDirectoryCase{"ExistingFolder", u"\\storagecard\\IMAGES", error::kAlreadyExists, ""},
        CreateDirectoryCase{"ExistingFile", u"\\StorageCard\\Images\\nk.bin", error::kAlreadyExists, ""},
        CreateDirectoryCase{"MissingParent", u"\\Nowhere\\New", error::kPathNotFound, ""},
        CreateDirectoryCase{"Protected", u"\\storagecard2\\New", error::kWriteProtect, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// More than two of the copy's chunks.
constexpr std::size_t kSizeLimit = 150000;

struct CopyCase {
    const char* name;
    std::u16string from;
    std::u16string to;
    std::uint32_t error;
    const char* checked;  // a host file, relative to the root, and its content afterwards
    std::optional<std::string> content;
};

class CopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyTest, CopiesOrLeavesNoPartialFile) {
    const CopyCase& c = GetParam();
    Device device(R"({"writeProtected": ["\\StorageCard\\Images"]})");
    device.Temp().Write("root/Medium.bin", Pattern(kSizeLimit - 50000));
    fs::create_directory_symlink("StorageCard2", device.Temp().Root() / "Alias");

    EXPECT_EQ(device.Files().CopyFile(c.from, c.to), c.error == error::kSuccess);
    EXPECT_EQ(device.LastError(), c.error);
    EXPECT_EQ(device.HostExists(c.checked), c.content.has_value());
    if (c.content) {
        EXPECT_EQ(device.Host(c.checked), *c.content);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Copies, CopyTest,
    ::testing::Values(
        CopyCase{"New", u"\\StorageCard\\Images\\NK.bin", u"\\StorageCard\\Copy.bin", error::kSuccess,
                 "StorageCard/Copy.bin", "image"},
        CopyCase{"ReplacesTarget", u"\\storagecard\\images\\nk.BIN", u"\\STORAGECARD2\\Other.bin",
                 error::kSuccess, "StorageCard2/other.bin", "image"},
        CopyCase{"SeveralChunks", u"\\medium.bin", u"\\StorageCard\\Medium.bin", error::kSuccess,
                 "StorageCard/Medium.bin", Pattern(kSizeLimit - 50000)},
        CopyCase{"MissingSource", u"\\StorageCard\\none.bin", u"\\StorageCard\\Copy.bin", error::kFileNotFound,
                 "StorageCard/Copy.bin", std::nullopt},
        CopyCase{"MissingSourceFolder", u"\\Nowhere\\NK.bin", u"\\StorageCard\\Copy.bin", error::kPathNotFound,
                 "StorageCard/Copy.bin", std::nullopt},
        CopyCase{"MissingTargetFolder", u"\\StorageCard2\\other.bin", u"\\Nowhere\\Copy.bin",
                 error::kPathNotFound, "Nowhere", std::nullopt},
        CopyCase{"ProtectedTarget", u"\\StorageCard2\\other.bin", u"\\StorageCard\\Images\\Copy.bin",
                 error::kWriteProtect, "StorageCard/Images/Copy.bin", std::nullopt},
        CopyCase{"OntoItselfInOtherCase", u"\\StorageCard2\\other.bin", u"\\storagecard2\\OTHER.BIN",
                 error::kSharingViolation, "StorageCard2/other.bin", "other"},
        CopyCase{"OntoItselfThroughALink", u"\\StorageCard2\\other.bin", u"\\Alias\\other.bin",
                 error::kSharingViolation, "StorageCard2/other.bin", "other"},
        CopyCase{"FolderSource", u"\\StorageCard\\Images", u"\\StorageCard\\Copy.bin", error::kAccessDenied,
                 "StorageCard/Copy.bin", std::nullopt},
        CopyCase{"FolderTarget", u"\\StorageCard2\\other.bin", u"\\StorageCard", error::kAccessDenied,
                 "StorageCard2/other.bin", "other"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderFileSystemTest, DeletesFilesButNotFolders) {
    Device device;

    EXPECT_TRUE(device.Files().DeleteFile(u"\\storagecard\\images\\nk.bin"));
    EXPECT_FALSE(device.HostExists("StorageCard/Images/NK.bin"));
    EXPECT_FALSE(device.Files().DeleteFile(u"\\StorageCard\\Images\\NK.bin"));
    EXPECT_EQ(device.LastError(), error::kFileNotFound);
    EXPECT_FALSE(device.Files().DeleteFile(u"\\StorageCard\\Images"));
    EXPECT_EQ(device.LastError(), error::kAccessDenied);
    EXPECT_TRUE(device.HostExists("StorageCard/Images"));
}

TEST(FolderFileSystemTest, MoveReplacesTheTarget) {
    Device device;

    EXPECT_TRUE(device.Files().MoveFile(u"\\StorageCard2\\other.bin", u"\\storagecard\\images\\nk.bin"));
    EXPECT_EQ(device.Host("StorageCard/Images/NK.bin"), "other");
    EXPECT_FALSE(device.HostExists("StorageCard2/other.bin"));
}

TEST(FolderFileSystemTest, MoveTellsAMissingSourceFromAMissingTargetFolder) {
    Device device;

    EXPECT_FALSE(device.Files().MoveFile(u"\\StorageCard2\\none.bin", u"\\StorageCard2\\x.bin"));
    EXPECT_EQ(device.LastError(), error::kFileNotFound);
    EXPECT_FALSE(device.Files().MoveFile(u"\\StorageCard2\\other.bin", u"\\Nowhere\\x.bin"));
    EXPECT_EQ(device.LastError(), error::kPathNotFound);
    EXPECT_EQ(device.Host("StorageCard2/other.bin"), "other");
}

struct ProtectedCase {
    const char* name;
    std::function<bool(Device&)> change;
};

class WriteProtectTest : public ::testing::TestWithParam<ProtectedCase> {};

TEST_P(WriteProtectTest, NothingInAProtectedFolderChanges) {
    Device device(R"({"writeProtected": ["\\STORAGECARD"]})");

    EXPECT_FALSE(GetParam().change(device));
    EXPECT_EQ(device.LastError(), error::kWriteProtect);
    EXPECT_EQ(device.Host("StorageCard/Images/NK.bin"), "image");
    EXPECT_EQ(device.Host("StorageCard2/other.bin"), "other");
    EXPECT_FALSE(device.HostExists("StorageCard/new.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, WriteProtectTest,
    ::testing::Values(
        ProtectedCase{
            "Truncate",
            [](Device& d) { return d.Write(u"\\storagecard\\images\\nk.bin", FileMode::CreateTruncate, ""); }},
        ProtectedCase{"Create",
                      [](Device& d) { return d.Write(u"\\StorageCard\\new.bin", FileMode::CreateTruncate, ""); }},
        ProtectedCase{"Update",
                      [](Device& d) { return d.Write(u"\\StorageCard\\Images\\NK.bin", FileMode::ReadWrite, ""); }},
        ProtectedCase{"Delete", [](Device& d) { return d.Files().DeleteFile(u"\\StorageCard\\Images\\NK.bin"); }},
        ProtectedCase{"MoveOut",
                      [](Device& d) { return d.Files().MoveFile(u"\\StorageCard\\Images\\NK.bin", u"\\x.bin"); }},
        ProtectedCase{
            "MoveIn",
            [](Device& d) { return d.Files().MoveFile(u"\\StorageCard2\\other.bin", u"\\StorageCard\\new.bin"); }},
        ProtectedCase{"CreateThroughALink",
                      [](Device& d) {
                          fs::create_directory_symlink("StorageCard", d.Temp().Root() / "Alias");
                          return d.Write(u"\\alias\\new.bin", FileMode::CreateTruncate, "");
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderFileSystemTest, WriteProtectLeavesReadingAndOtherFoldersAlone) {
    Device device(R"({"writeProtected": ["\\StorageCard"]})");

    EXPECT_TRUE(device.Files().OpenFile(u"\\StorageCard\\Images\\NK.bin", FileMode::Read));
    EXPECT_TRUE(device.Write(u"\\StorageCard2\\other.bin", FileMode::CreateTruncate, "changed"));
    EXPECT_EQ(device.Host("StorageCard2/other.bin"), "changed");
}

TEST(FolderFileSystemTest, NothingIsWrittenThroughALinkOutOfTheRoot) {
    Device device;
    const fs::path outside = device.Temp().Dir() / "outside";
    fs::create_directory(outside);
    fs::create_directory_symlink(outside, device.Temp().Root() / "Card");

    EXPECT_FALSE(device.Write(u"\\card\\x.bin", FileMode::CreateTruncate, "x"));
    EXPECT_EQ(device.LastError(), error::kAccessDenied);
    EXPECT_TRUE(fs::is_empty(outside));
}

TEST(FolderFileSystemTest, ALinkSwappedDuringTheWalkNeverLeadsOut) {
    Device device;
    const fs::path root = device.Temp().Root();
    const fs::path outside = device.Temp().Dir() / "outside";
    fs::create_directory(outside);
    fs::create_directory(root / "Inside");
    fs::create_directory_symlink(root / "Inside", root / "Swing");
    std::atomic<bool> stop = false;
    std::jthread swinger([&] {
        for (bool out = true; !stop; out = !out) {
            fs::remove(root / "Swing.next");
            fs::create_directory_symlink(out ? outside : root / "Inside", root / "Swing.next");
            fs::rename(root / "Swing.next", root / "Swing");
        }
    });

    for (int write = 0; write < 3000; ++write) {
        device.Write(u"\\Swing\\x.bin", FileMode::CreateTruncate, "x");
    }
    stop = true;
    swinger.join();

    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_TRUE(fs::exists(root / "Inside/x.bin")) << "writes went through the link while it pointed inside";
}

}  // namespace
}  // namespace velkor::sim
