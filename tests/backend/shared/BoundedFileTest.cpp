#include "backend/shared/BoundedFile.h"
#include "backend/shared/DeviceError.h"
#include "platform/ErrorCodes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <optional>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;

struct ReadCase {
    const char* name;
    // Lays out what "entry" in the folder is.
    std::function<void(const fs::path& folder)> make;
    LinkRule links;
    // The text read, or the end of the complaint when `refused`.
    std::string expected;
    bool refused;
};

class BoundedFileTest : public ::testing::TestWithParam<ReadCase> {};

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

void MakeSparse(const fs::path& path, std::uintmax_t bytes) {
    WriteText(path, "");
    fs::resize_file(path, bytes);
}

TEST_P(BoundedFileTest, ReadsAPlainFileUpToTheLimitOnly) {
    const ReadCase& c = GetParam();
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    c.make(folder);
    try {
        const std::string text = ReadBoundedFile(folder / "entry", "the test file", c.links);
        EXPECT_FALSE(c.refused) << "read " << text.size() << " bytes";
        EXPECT_EQ(text, c.expected);
    } catch (const DeviceError& failure) {
        const std::string message = failure.what();
        EXPECT_TRUE(c.refused) << message;
        EXPECT_TRUE(message.starts_with("the test file \"" + (folder / "entry").string()) ||
                    message.starts_with("cannot read the test file"))
            << message;
        EXPECT_TRUE(message.ends_with(c.expected)) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BoundedFileTest,
    ::testing::Values(
        ReadCase{"Missing", [](const fs::path&) {}, LinkRule::Followed, "No such file or directory", true},
        ReadCase{"LinkRefused",
                 [](const fs::path& f) {
                     WriteText(f / "text", "linked");
                     fs::create_symlink(f / "text", f / "entry");
                 },
                 LinkRule::Refused, "is a link, not a plain file", true},
        // Opening a FIFO for reading would wait for a writer that never comes.
        ReadCase{"FifoNotWaitedOn", [](const fs::path& f) { ASSERT_EQ(::mkfifo((f / "entry").c_str(), 0600), 0); },
                 LinkRule::Followed, "is a FIFO, not a plain file", true},
        ReadCase{"AtTheLimit", [](const fs::path& f) { MakeSparse(f / "entry", kMaxDescriptionBytes); },
                 LinkRule::Refused, std::string(kMaxDescriptionBytes, '\0'), false},
        ReadCase{"OneByteOver", [](const fs::path& f) { MakeSparse(f / "entry", kMaxDescriptionBytes + 1); },
                 LinkRule::Refused, "is larger than 16 MiB", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct CodeCase {
    const char* name;
    std::function<void(const fs::path& folder)> make;
    // The text read; nothing when `error` says why not.
    std::optional<std::string> text;
    std::uint32_t error;
};

class BoundedFileCodeTest : public ::testing::TestWithParam<CodeCase> {};

constexpr std::uint64_t kTenBytes = 10;

// The same reader for the services that answer with the device's error codes: a keyring, a record.
TEST_P(BoundedFileCodeTest, AnswersWithTheDevicesErrorCode) {
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    GetParam().make(folder);
    std::uint32_t error = platform::error::kSuccess;

    EXPECT_EQ(ReadBoundedFile(folder / "entry", LinkRule::Refused, kTenBytes, error), GetParam().text);
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BoundedFileCodeTest,
    ::testing::Values(
        CodeCase{"AtItsLimit", [](const fs::path& f) { WriteText(f / "entry", "0123456789"); }, "0123456789",
                 platform::error::kSuccess},
        CodeCase{"OverItsLimit", [](const fs::path& f) { WriteText(f / "entry", "0123456789A"); }, std::nullopt,
                 platform::error::kInvalidData},
        CodeCase{"Missing", [](const fs::path&) {}, std::nullopt, platform::error::kFileNotFound},
        CodeCase{"LinkRefused",
                 [](const fs::path& f) {
                     WriteText(f / "text", "linked");
                     fs::create_symlink(f / "text", f / "entry");
                 },
                 std::nullopt, platform::error::kAccessDenied},
        CodeCase{"FifoNotWaitedOn", [](const fs::path& f) { ASSERT_EQ(::mkfifo((f / "entry").c_str(), 0600), 0); },
                 std::nullopt, platform::error::kAccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::shared
