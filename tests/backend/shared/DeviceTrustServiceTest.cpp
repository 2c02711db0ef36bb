#include "backend/shared/DeviceTrustService.h"

#include "support/MemoryEnvironment.h"
#include "platform/ErrorCodes.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

const std::string kDigest(64, 'c');
const std::string kOldDigest(64, 'a');

// A device without two-slot regions, with a keyring and a record in a temporary folder.
struct TrustFolder {
    TrustFolder() : events(Path("events.log")) {}

    fs::path Path(const char* name) const { return fs::path(folder.path().toStdString()) / name; }
    void WriteRecord(const std::string& digest) const {
        test::WriteHostFile(Path("state/installed.json"), R"({"version": 9, "manifestSha256": ")" + digest + "\"}");
    }
    DeviceTrustService Service() {
        return DeviceTrustService(TrustConfig{Path("keyring.pem"), "velkor-vk100", platform::ValidityRule::DeviceClock,
                                              Path("state/installed.json")},
                                  approval, record, errors, events, [](std::uint32_t) { return std::nullopt; });
    }
    // The commit point of a whole update from a card that installs `release`.
    bool CommitRelease(const platform::InstalledRelease& release) {
        approval.Approve({{}, release}, true);
        return record.Commit(true, [](const BootVariables&, bool) { return true; });
    }
    std::vector<std::string> Events() const { return test::LogTexts(test::ReadHostFile(Path("events.log"))); }

    QTemporaryDir folder;
    ErrorState errors;
    EventLog events;
    SlotGroup noSlots;
    MemoryEnvironment environment;
    CardApproval approval;
    ReleaseRecord record{noSlots, environment, Path("state/installed.json"), approval, errors, events,
                         [](std::string_view) {}};
};

struct ReadCase {
    const char* name;
    std::function<void(TrustFolder&)> arrange;
    std::optional<platform::InstalledRelease> release;
    std::uint32_t error;
};

class InstalledRecordReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(InstalledRecordReadTest, ReadsTheRecordOrSaysWhyNot) {
    TrustFolder device;
    fs::create_directory(device.Path("state"));
    GetParam().arrange(device);

    EXPECT_EQ(device.Service().ReadInstalled(), GetParam().release);
    EXPECT_EQ(device.errors.Last(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Records, InstalledRecordReadTest,
    testing::Values(
        ReadCase{"NoneYet", [](TrustFolder&) {}, platform::InstalledRelease{}, error::kSuccess},
        ReadCase{"Written",
                 [](TrustFolder& d) {
                     test::WriteHostFile(d.Path("state/installed.json"),
                                         R"({"version": 9, "manifestSha256": ")" + kDigest + "\"}");
                 },
                 platform::InstalledRelease{9, kDigest}, error::kSuccess},
        ReadCase{"UpperCaseDigest", [](TrustFolder& d) { d.WriteRecord(std::string(64, 'C')); },
                 platform::InstalledRelease{9, kDigest}, error::kSuccess},
        ReadCase{"NotADigest", [](TrustFolder& d) { d.WriteRecord("not-a-digest"); }, std::nullopt, error::kInvalidData},
        ReadCase{"NotARecord", [](TrustFolder& d) { test::WriteHostFile(d.Path("state/installed.json"), "{\"version\": -1}"); },
                 std::nullopt, error::kInvalidData},
        ReadCase{"TooLargeToBeOne",
                 [](TrustFolder& d) { test::WriteHostFile(d.Path("state/installed.json"), std::string(8192, ' ')); },
                 std::nullopt, error::kInvalidData}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(InstalledRecordWrite, ReplacesTheRecordWholeAndLogsIt) {
    TrustFolder device;
    fs::create_directory(device.Path("state"));
    test::WriteHostFile(device.Path("state/installed.json"), R"({"version": 3, "manifestSha256": ")" + kOldDigest + "\"}");
    // A power cut during an earlier write left its new record behind.
    test::WriteHostFile(device.Path("state/installed.json.new"), "{\"vers");
    DeviceTrustService service = device.Service();

    ASSERT_TRUE(device.CommitRelease({4, kDigest}));

    EXPECT_EQ(service.ReadInstalled(), (platform::InstalledRelease{4, kDigest}));
    EXPECT_FALSE(fs::exists(device.Path("state/installed.json.new")));
    EXPECT_EQ(device.Events(), std::vector<std::string>{"installed-release 4 " + kDigest + " -> 1"});
}

TEST(InstalledRecordWrite, AFailedWriteLeavesTheOldRecordAndNoTemporaryFile) {
    TrustFolder device;
    fs::create_directory(device.Path("state"));
    test::WriteHostFile(device.Path("state/installed.json"), R"({"version": 3, "manifestSha256": ")" + kOldDigest + "\"}");
    // The new record cannot take the old one's place.
    fs::create_directory(device.Path("state/installed.json.new"));
    DeviceTrustService service = device.Service();

    EXPECT_FALSE(device.CommitRelease({4, kDigest}));

    EXPECT_EQ(service.ReadInstalled(), (platform::InstalledRelease{3, kOldDigest}));
    EXPECT_TRUE(fs::is_directory(device.Path("state/installed.json.new"))) << "a folder in the way is not removed";
    EXPECT_EQ(device.Events(), std::vector<std::string>{"installed-release 4 " + kDigest + " -> 0 error 183"});
}

TEST(DeviceTrustServiceKeyring, IsReadAfreshAndRefusedWhenItIsNoPlainFileOrTooLarge) {
    TrustFolder device;
    DeviceTrustService service = device.Service();
    const auto keyring = [&] { return service.ReadKeyring(); };
    EXPECT_EQ(keyring(), std::nullopt);
    EXPECT_EQ(device.errors.Last(), error::kFileNotFound);

    test::WriteHostFile(device.Path("keyring.pem"), "first");
    EXPECT_EQ(keyring(), "first");
    test::WriteHostFile(device.Path("keyring.pem"), "rotated");
    EXPECT_EQ(keyring(), "rotated") << "a newer keyring counts at once";

    test::WriteHostFile(device.Path("keyring.pem"), std::string(platform::kMaxKeyringBytes + 1, '-'));
    EXPECT_EQ(keyring(), std::nullopt);
    EXPECT_EQ(device.errors.Last(), error::kInvalidData);

    fs::remove(device.Path("keyring.pem"));
    fs::create_symlink(device.Path("events.log"), device.Path("keyring.pem"));
    EXPECT_EQ(keyring(), std::nullopt);
    EXPECT_EQ(device.errors.Last(), error::kAccessDenied);
}

TEST(DeviceTrustServiceKeyring, ADeviceWithoutOneTrustsAnyCardAndKeepsNoRecord) {
    TrustFolder device;
    ReleaseRecord noRecord(device.noSlots, device.environment, fs::path(), device.approval, device.errors,
                           device.events, [](std::string_view) {});
    DeviceTrustService service(std::nullopt, device.approval, noRecord, device.errors, device.events,
                               [](std::uint32_t) { return std::nullopt; });

    EXPECT_FALSE(service.Settings().hasKeyring);
    EXPECT_EQ(service.ReadInstalled(), platform::InstalledRelease{});
    service.ApproveCard({{}, platform::InstalledRelease{1, kDigest}});
    EXPECT_FALSE(device.approval.PrivateCopies()) << "only a device with a keyring writes from private copies";
    EXPECT_FALSE(noRecord.Commit(true, [](const BootVariables&, bool) { return true; }));
    EXPECT_EQ(device.errors.Last(), error::kNotSupported);
}

TEST(DeviceTrustServiceApproval, HandsTheCardToTheWritersAndHearsOfAMismatch) {
    TrustFolder device;
    DeviceTrustService service = device.Service();
    const platform::ExpectedImage image{u"\\StorageCard\\NK.bin", 3, {}, {}, {}};

    service.ApproveCard({{image}, std::nullopt});
    EXPECT_TRUE(device.approval.PrivateCopies());
    ASSERT_NE(device.approval.Find(u"\\storagecard\\nk.BIN", {}), nullptr) << "paths match whatever their letter case";
    EXPECT_FALSE(service.MismatchFound());
    device.approval.NoteMismatch();
    EXPECT_TRUE(service.MismatchFound());

    service.ApproveCard({});
    EXPECT_FALSE(service.MismatchFound()) << "a new approval starts afresh";
    EXPECT_EQ(device.approval.Find(u"\\StorageCard\\NK.bin", {}), nullptr);
}

}  // namespace
}  // namespace velkor::shared
