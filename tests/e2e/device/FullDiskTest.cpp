#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

// A 64 KiB file system of the test's own, mounted for the test and unmounted after it.
class SmallDisk {
public:
    explicit SmallDisk(fs::path where) : where_(std::move(where)) {
        fs::create_directories(where_);
        if (::mount("tmpfs", where_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
            failure_ = std::strerror(errno);
        }
    }
    ~SmallDisk() {
        if (failure_.empty()) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Why it could not be mounted; empty once it is.
    const std::string& Failure() const { return failure_; }

private:
    fs::path where_;
    std::string failure_;
};

struct FullDiskCase {
    const char* name;
    // After "velkor-device", with "{dir}" the temporary folder; the small disk is {dir}/small and
    // also the temporary folder of the program.
    QStringList arguments;
    // The refusal on stderr, as a regular expression.
    const char* refusal;
};

class FullDiskTest : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDiskTest, IsNamedAsFullAndLeavesNothingOnIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QTemporaryDir temporary;
    const std::string dir = temporary.path().toStdString();
    const SmallDisk small(dir + "/small");
    if (!small.Failure().empty()) {
        GTEST_SKIP() << "a tmpfs cannot be mounted here: " << small.Failure();
    }
    ASSERT_EQ(RunProgram(VELKOR_DEVICE_BINARY, {"init", temporary.filePath("device")}).exitCode, 0);
    WriteHostFile(dir + "/NK.bin", std::string(100000, 'o'));
    WriteHostFile(dir + "/card/AutoUpdate/NK.bin", std::string(100000, 'o'));
    QStringList arguments;
    for (const QString& argument : GetParam().arguments) {
        arguments << QString(argument).replace("{dir}", temporary.path());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.filePath("small"));

    const ProgramResult result = RunProgram(VELKOR_DEVICE_BINARY, arguments, environment);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.standardError.toStdString(),
                ::testing::ContainsRegex(std::regex_replace(GetParam().refusal, std::regex("\\{dir\\}"), dir)));
    EXPECT_TRUE(fs::is_empty(dir + "/small"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FullDiskTest,
    ::testing::Values(FullDiskCase{"Card",
                                   {"card", "{dir}/small/card", "--os", "{dir}/NK.bin"},
                                   "the card needs 100000 bytes but the disk that holds {dir}/small has [0-9]+ free\n"},
                      FullDiskCase{"DryRun",
                                   {"dry-run", "{dir}/card", "--device", "{dir}/device"},
                                   "the copy of the device needs [0-9]+ bytes but the disk that holds {dir}/small/? "
                                   "has [0-9]+ free\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::test
