#include "trust/CardGate.h"
#include "trust/ManifestWriter.h"

#include "support/FakeDeviceTrust.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"
#include "support/FakeSystem.h"
#include "support/FakeWindows.h"
#include "support/TestPki.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velkor::trust {
namespace {

using update::ImageKind;

const std::string kImage = "the app";

// A device with a keyring, and a card of one image signed by a signer it trusts.
struct Device {
    Device() {
        files.AddFile(u"\\StorageCard\\NAPP.bin", kImage);
        manifestText = WriteManifest({"velkor-vk100", 3, {{ImageKind::App, "NAPP.bin", kImage.size(), Sha256::Of(kImage)}}});
        files.AddFile(u"\\StorageCard\\velkor-manifest.json", manifestText);
        files.AddFile(u"\\StorageCard\\velkor-manifest.json.sig", test::TestPki::Sign(pki.Issue({}), manifestText));
        trust.settings = {true, "velkor-vk100", platform::ValidityRule::NotChecked};
        trust.keyringPem = pki.Root().CertificatePem();
        settings.appPath = u"\\StorageCard\\NAPP.bin";
    }
    std::string Recorded(const char* answer) const {
        return "installed-release 3 " + DigestHex(Sha256::Of(manifestText)) + " -> " + answer;
    }

    test::TestPki pki;

    test::FakeRegistry registry;
    test::FakeFileSystem files;
    test::FakeSystem system;
    test::FakeDeviceIo deviceIo;
    test::FakeBitmapLoader bitmapLoader;
    test::FakeStorageManager storageManager;
    test::FakeFormatLibrary formatLibrary;
    test::FakeWindows windows;
    test::FakeDeviceTrust trust;
    platform::Platform platform{registry,       files,         system,  deviceIo, bitmapLoader,
                                storageManager, formatLibrary, windows, trust};
    std::string manifestText;
    update::UpdateSettings settings;
};

struct GateCase {
    const char* name;
    std::function<void(Device&)> arrange;
    bool everyRowSucceeded;
    std::function<std::vector<std::string>(const Device&)> events;
    std::string lastDebugLine;
};

class CardGateTest : public testing::TestWithParam<GateCase> {};

TEST_P(CardGateTest, ReportsARefusalOnceAndRecordsOnlyAWholeTrustedRun) {
    Device device;
    GetParam().arrange(device);
    CardGate gate(device.platform, 0);

    if (!gate.Check(u"\\StorageCard", {ImageKind::App, ImageKind::Reset}, device.settings)) {
        gate.RowsDone(GetParam().everyRowSucceeded);
    }

    EXPECT_EQ(device.trust.events, GetParam().events(device));
    if (GetParam().lastDebugLine.empty()) {
        EXPECT_TRUE(device.system.debugLines.empty());
        return;
    }
    ASSERT_FALSE(device.system.debugLines.empty());
    EXPECT_EQ(device.system.debugLines.back().substr(0, GetParam().lastDebugLine.size()),
              std::u16string(GetParam().lastDebugLine.begin(), GetParam().lastDebugLine.end()));
}

const auto kNoEvents = [](const Device&) { return std::vector<std::string>{}; };

INSTANTIATE_TEST_SUITE_P(
    Gates, CardGateTest,
    testing::Values(
        GateCase{"RunWithAFailedRowRecordsNothing", [](Device&) {}, false, kNoEvents, "Card accepted: card signed by"},
        GateCase{"RecordThatCannotBeWrittenIsReported", [](Device& d) { d.trust.recordFails = true; }, true,
                 [](const Device& d) { return std::vector<std::string>{d.Recorded("0 error 5")}; },
                 "Installed version 3 not recorded"},
        GateCase{"UnsignedManifestIsNeverRecorded", [](Device& d) { d.trust.settings = {}; }, true, kNoEvents,
                 "Card accepted: unsigned manifest"},
        GateCase{"NoManifestWithoutKeyringIsAsBefore",
                 [](Device& d) {
                     d.trust.settings = {};
                     d.files.DeleteFile(u"\\StorageCard\\velkor-manifest.json");
                 },
                 true, kNoEvents, ""}),
    [](const testing::TestParamInfo<GateCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::trust
