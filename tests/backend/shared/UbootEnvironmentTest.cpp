#include "backend/shared/slots/UbootEnvironment.h"
#include "backend/shared/UniqueFd.h"
#include "support/ThrowsDeviceError.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSize = 0x2000;

void Resize(const fs::path& file, std::uint64_t size) {
    std::ofstream(file, std::ios::app).close();
    fs::resize_file(file, size);
}

// Overwrites the copy's first bytes (its CRC), so the library no longer takes it.
void Corrupt(const fs::path& file) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.write("\x55\xAA\x55\xAA", 4);
}

struct EnvironmentFiles {
    EnvironmentFiles() {
        Resize(first(), kSize);
        Resize(second(), kSize);
    }
    fs::path first() const { return fs::path(folder.path().toStdString()) / "uboot.env"; }
    fs::path second() const { return fs::path(folder.path().toStdString()) / "uboot-redund.env"; }
    fs::path lock() const { return fs::path(folder.path().toStdString()) / "fw_printenv.lock"; }
    UbootEnvironment environment(std::uint64_t firstOffset = 0) const {
        return UbootEnvironment({{{first(), firstOffset, kSize}, {second(), 0, kSize}}}, lock(), kLockWait);
    }
    // Another program's session, as fw_setenv holds the lock.
    void HoldLock() const {
        heldLock = UniqueFd(::open(lock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        ASSERT_EQ(::flock(heldLock.Get(), LOCK_EX), 0);
    }

    static constexpr std::chrono::milliseconds kLockWait{200};
    QTemporaryDir folder;
    mutable UniqueFd heldLock;
};

TEST(UbootEnvironmentTest, ANewEnvironmentIsReadBackAndAStoreChangesOnlyItsVariables) {
    EnvironmentFiles files;
    files.environment().Create(BootState::InitialVariables());
    EXPECT_EQ(files.environment().Read().OrderText(), "A B");

    files.environment().Store(BootState::CommitVariables(Slot::B));

    const BootState state = files.environment().Read();
    EXPECT_EQ(state.OrderText(), "B A");
    EXPECT_EQ(state.TriesLeft(Slot::A), kBootTries);
    EXPECT_EQ(state.TriesLeft(Slot::B), kBootTries);
}

TEST(UbootEnvironmentTest, ANewEnvironmentIsInBothCopies) {
    EnvironmentFiles files;
    files.environment().Create(BootState::InitialVariables());
    Corrupt(files.first());
    EXPECT_EQ(files.environment().Read().OrderText(), "A B") << "the second copy holds it too";
}

struct BadCase {
    const char* name;
    std::function<void(const EnvironmentFiles&)> spoil;
    std::function<void(UbootEnvironment&)> use;
    std::string complaint;
};

class UbootEnvironmentBadInputTest : public testing::TestWithParam<BadCase> {};

TEST_P(UbootEnvironmentBadInputTest, IsAClearErrorAndChangesNothing) {
    EnvironmentFiles files;
    files.environment().Create(BootState::InitialVariables());
    GetParam().spoil(files);
    const auto sizeBefore = fs::file_size(files.first());
    UbootEnvironment environment = files.environment();
    EXPECT_THAT([&] { GetParam().use(environment); }, test::ThrowsDeviceError(GetParam().complaint));
    EXPECT_EQ(fs::file_size(files.first()), sizeBefore);
}

const auto kRead = [](UbootEnvironment& environment) { environment.Read(); };
const auto kStore = [](UbootEnvironment& environment) { environment.Store(BootState::MarkGoodVariables(Slot::A)); };

INSTANTIATE_TEST_SUITE_P(
    Spoiled, UbootEnvironmentBadInputTest,
    testing::Values(
        BadCase{"BothCopiesCorruptOnAStore",
                [](const EnvironmentFiles& files) {
                    Corrupt(files.first());
                    Corrupt(files.second());
                },
                kStore, "it is not changed"},
        BadCase{"MissingCopy", [](const EnvironmentFiles& files) { fs::remove(files.second()); }, kRead,
                "cannot be opened"},
        BadCase{"LockHeldByAnotherProgram", [](const EnvironmentFiles& files) { files.HoldLock(); }, kStore,
                "is held by another program"},
        BadCase{"CopyBeyondTwoGibibytes", [](const EnvironmentFiles&) {},
                [](UbootEnvironment&) {
                    EnvironmentFiles far;
                    UbootEnvironment beyond = far.environment(UbootEnvironment::kMaxCopyOffset + 1);
                    beyond.Read();
                },
                "beyond 2 GiB"},
        BadCase{"CreateOverAnEnvironment", [](const EnvironmentFiles&) {},
                [](UbootEnvironment& environment) { environment.Create(BootState::InitialVariables()); },
                "already holds an environment"}),
    [](const testing::TestParamInfo<BadCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
