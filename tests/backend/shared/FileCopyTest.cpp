#include "backend/shared/FolderFileSystem.h"
#include "platform/ErrorCodes.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace velkor::shared {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

constexpr std::size_t kLargeSource = 300000;

// Writes beyond `bytes` fail with EFBIG for the life of the object, as on a volume that is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : signal_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*signal_)(int);
};

// Host folders one/ (holding Source.bin) and two/, and file systems over them: `first` and
// `second` both over one/, as two folder names of a target may be, `other` over two/.
class Roots {
public:
    Roots() { Write("one/Source.bin", std::string(kLargeSource, 's')); }

    const fs::path& Host() const { return host_; }
    void Write(const fs::path& relative, const std::string& bytes) const { std::ofstream(host_ / relative) << bytes; }
    std::optional<std::string> Read(const fs::path& relative) const {
        return fs::exists(host_ / relative) ? std::optional(test::ReadHostFile(host_ / relative)) : std::nullopt;
    }

private:
    static fs::path MakeFolders(const fs::path& host) {
        fs::create_directories(host / "one");
        fs::create_directories(host / "two");
        return host;
    }

    QTemporaryDir temporary_;
    fs::path host_ = MakeFolders(temporary_.path().toStdString());

public:
    ErrorState errors;
    DismountedFolders noneDismounted;
    FolderFileSystem first{host_ / "one", noneDismounted, {}, errors};
    FolderFileSystem second{host_ / "one", noneDismounted, {}, errors};
    FolderFileSystem other{host_ / "two", noneDismounted, {}, errors};
};

struct CopyCase {
    const char* name;
    std::function<void(const Roots&)> arrange;
    // Which file system the target path is in.
    FolderFileSystem Roots::*targetFiles;
    std::u16string target;
    std::optional<rlim_t> fileSizeLimit;
    std::uint32_t error;
    // The host file the target path names, and what it holds afterwards; not read when null.
    const char* targetFile;
    std::optional<std::string> content;
};

class FileCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(FileCopyTest, CopiesOntoAnotherFileOrLeavesBothAsTheyWere) {
    const CopyCase& c = GetParam();
    Roots roots;
    c.arrange(roots);
    bool copied = false;
    {
        const std::optional<FileSizeLimit> limit =
            c.fileSizeLimit ? std::optional<FileSizeLimit>(std::in_place, *c.fileSizeLimit) : std::nullopt;
        copied = roots.first.CopyFileTo(u"\\source.BIN", roots.*c.targetFiles, c.target);
    }

    EXPECT_EQ(copied, c.error == error::kSuccess);
    EXPECT_EQ(roots.errors.Last(), c.error);
    if (c.targetFile) {
        EXPECT_EQ(roots.Read(c.targetFile), c.content);
    }
    EXPECT_EQ(roots.Read("one/Source.bin"), std::string(kLargeSource, 's'));
}

const std::string kSource(kLargeSource, 's');

INSTANTIATE_TEST_SUITE_P(
    Copies, FileCopyTest,
    ::testing::Values(
        CopyCase{"IntoAnotherRoot", [](const Roots&) {}, &Roots::other, u"\\Copy.bin", {}, error::kSuccess,
                 "two/Copy.bin", kSource},
        CopyCase{"ReplacingAFileOfAnotherRoot", [](const Roots& r) { r.Write("two/Copy.bin", "old"); }, &Roots::other,
                 u"\\copy.bin", {}, error::kSuccess, "two/Copy.bin", kSource},
        CopyCase{"OntoItselfThroughASecondRootOverItsFolder", [](const Roots&) {}, &Roots::second,
                 u"\\SOURCE.bin", {}, error::kSharingViolation, "one/Source.bin", kSource},
        CopyCase{"OntoAHardLinkOfItself",
                 [](const Roots& r) { fs::create_hard_link(r.Host() / "one/Source.bin", r.Host() / "two/Link.bin"); },
                 &Roots::other, u"\\Link.bin", {}, error::kSharingViolation, "two/Link.bin", kSource},
        CopyCase{"OntoAFifo", [](const Roots& r) { ::mkfifo((r.Host() / "two/Pipe").c_str(), 0600); },
                 &Roots::other, u"\\Pipe", {}, error::kAccessDenied, nullptr, std::nullopt},
        CopyCase{"FailingPartWayLeavesNoPartialFile", [](const Roots& r) { r.Write("two/Copy.bin", "old"); },
                 &Roots::other, u"\\Copy.bin", kLargeSource / 2, error::kDiskFull, "two/Copy.bin", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::shared
