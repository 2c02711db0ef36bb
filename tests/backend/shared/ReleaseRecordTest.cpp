#include "backend/shared/ReleaseRecord.h"

#include "support/MemoryEnvironment.h"
#include "platform/ErrorCodes.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

const std::string kDigest(64, 'a');
const platform::InstalledRelease kRelease{7, kDigest};

// A device with or without two-slot regions, its environment in memory and its record file in a
// temporary folder.
struct RecordRig {
    explicit RecordRig(bool twoSlots) {
        if (twoSlots) {
            group.Add(*FindRegionByName("os"), "os");
        }
    }
    fs::path File() const { return fs::path(folder.path().toStdString()) / "installed.json"; }

    QTemporaryDir folder;
    SlotGroup group;
    MemoryEnvironment environment;
    CardApproval approval;
    ErrorState errors;
    EventLog events{fs::path(folder.path().toStdString()) / "events.log"};
    ReleaseRecord record{group, environment, File(), approval, errors, events, [](std::string_view) {}};
};

struct ReadCase {
    const char* name;
    EnvironmentValues values;
    bool valid;
    std::optional<platform::InstalledRelease> release;
};

class ReleaseRecordReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReleaseRecordReadTest, ReadsTheReleaseOfATwoSlotDeviceFromItsEnvironment) {
    RecordRig rig(true);
    rig.environment.values = GetParam().values;
    rig.environment.valid = GetParam().valid;
    test::WriteHostFile(rig.File(), R"({"version": 99, "manifestSha256": "not the environment's"})");

    std::uint32_t readError = error::kSuccess;
    EXPECT_EQ(rig.record.Read(readError), GetParam().release);
    EXPECT_EQ(readError, GetParam().release ? error::kSuccess : error::kInvalidData);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ReleaseRecordReadTest,
    testing::Values(
        ReadCase{"NoneYet", {{"BOOT_ORDER", "A B"}}, true, platform::InstalledRelease{}},
        ReadCase{"Recorded",
                 {{"VELKOR_VERSION", "7"}, {"VELKOR_MANIFEST_SHA256", std::string(64, 'A')}},
                 true,
                 kRelease},
        ReadCase{"VersionNotANumber", {{"VELKOR_VERSION", "7a"}, {"VELKOR_MANIFEST_SHA256", kDigest}}, true,
                 std::nullopt},
        ReadCase{"DigestNotOne", {{"VELKOR_VERSION", "7"}, {"VELKOR_MANIFEST_SHA256", "abc"}}, true, std::nullopt},
        ReadCase{"VersionWithoutDigest", {{"VELKOR_VERSION", "7"}}, true, std::nullopt},
        ReadCase{"NoValidEnvironment", {}, false, std::nullopt}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

struct CommitCase {
    const char* name;
    bool twoSlots;
    bool wholeUpdate;
    // What the slots' commit answers.
    bool slotsCommitted;
    // What the slots' commit was given to store beside the switch.
    BootVariables alsoStored;
    // The record file written.
    bool fileWritten;
    bool committed;
    // A region was written in place before the commit point.
    bool wroteInPlace = false;
};

class ReleaseRecordCommitTest : public testing::TestWithParam<CommitCase> {};

TEST_P(ReleaseRecordCommitTest, RecordsTheReleaseOnlyWithAWholeCommittedUpdate) {
    const CommitCase& c = GetParam();
    RecordRig rig(c.twoSlots);
    rig.approval.Approve({{}, kRelease}, true);
    BootVariables given{{"not", "called"}};
    EXPECT_TRUE(!c.wroteInPlace || rig.approval.BeforeInPlaceWrite());

    const bool committed = rig.record.Commit(c.wholeUpdate, [&](const BootVariables& alsoStored, bool) {
        given = alsoStored;
        return c.slotsCommitted;
    });

    EXPECT_EQ(committed, c.committed);
    EXPECT_EQ(given, c.alsoStored);
    std::uint32_t readError = error::kSuccess;
    const std::optional<platform::InstalledRelease> file = InstalledRecordFile(rig.File()).Read(readError);
    EXPECT_EQ(file, c.fileWritten ? kRelease : platform::InstalledRelease{});
    EXPECT_EQ(rig.approval.TakeRelease(), std::nullopt) << "the approval ends at the commit point";
}

INSTANTIATE_TEST_SUITE_P(
    Commits, ReleaseRecordCommitTest,
    testing::Values(
        CommitCase{"TwoSlotsWhole", true, true, true, ReleaseRecord::Variables(kRelease), false, true},
        CommitCase{"TwoSlotsWithAFailedRow", true, false, true, {}, false, true},
        CommitCase{"TwoSlotsSwitchRefused", true, true, false, ReleaseRecord::Variables(kRelease), false, false},
        CommitCase{"OneSlotWhole", false, true, true, {}, true, true},
        CommitCase{"OneSlotWithAFailedRow", false, false, true, {}, false, true},
        CommitCase{"OneSlotCommitRefused", false, true, false, {}, false, false},
        // Raised before the first in-place byte: an older card cannot follow a failed run.
        CommitCase{"OneSlotFailedAfterAnInPlaceWrite", false, false, true, {}, true, true, true},
        CommitCase{"TwoSlotsKeepTheirRecordForTheSwitch", true, false, true, {}, false, true, true}),
    [](const testing::TestParamInfo<CommitCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
