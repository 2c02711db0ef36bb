#include "trust/CardGate.h"
#include "trust/ManifestWriter.h"
#include "update/ImageSteps.h"

#include "support/ChunkTagging.h"
#include "support/FakeDeviceTrust.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"
#include "support/FakeSystem.h"
#include "support/FakeWindows.h"
#include "support/TestPki.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
        manifestText = WriteManifest({"velkor-vk100", 3, {{ImageKind::App, "NAPP.bin", kImage.size(), platform::Sha256::Of(kImage)}}});
        files.AddFile(u"\\StorageCard\\velkor-manifest.json", manifestText);
        files.AddFile(u"\\StorageCard\\velkor-manifest.json.sig", test::TestPki::Sign(pki.Issue({}), manifestText));
        trust.settings = {true, "velkor-vk100", platform::ValidityRule::NotChecked};
        trust.keyringPem = pki.Root().CertificatePem();
        settings.appPath = u"\\StorageCard\\NAPP.bin";
        imageIdentity = files.OpenFile(settings.appPath, platform::FileMode::Read)->Identity();
    }
    platform::ExpectedImage Image() const {
        return {u"\\StorageCard\\NAPP.bin", kImage.size(), platform::Sha256::Of(kImage), imageIdentity, {}};
    }
    platform::FileIdentity imageIdentity;
    platform::InstalledRelease Release() const { return {3, platform::DigestHex(platform::Sha256::Of(manifestText))}; }

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
    // What the device is handed; nothing for a refused card.
    std::function<std::optional<platform::ApprovedCard>(const Device&)> approved;
    std::vector<std::string> events;
    std::string lastDebugLine;
};

class CardGateTest : public testing::TestWithParam<GateCase> {};

TEST_P(CardGateTest, HandsTheDeviceWhatTheCheckVouchedForOrReportsTheRefusalOnce) {
    Device device;
    GetParam().arrange(device);
    CardGate gate(device.platform, 0);

    const bool refused = gate.Check(u"\\StorageCard", {ImageKind::App, ImageKind::Reset}, device.settings).has_value();

    std::optional<platform::ApprovedCard> approved = GetParam().approved(device);
    if (approved) {
        // Reset writes no image
        approved->writes = {{*update::FlashControlCode(ImageKind::App), *device.settings.Path(ImageKind::App)}};
    }
    if (approved && !approved->images.empty() && device.trust.approved.size() == 1) {
        // The key is drawn at random: the image's tags under it are what must be handed on.
        const platform::ChunkTags& chunks = device.trust.approved[0].images.at(0).chunks;
        ASSERT_TRUE(chunks.key);
        EXPECT_EQ(chunks.tags, test::TagsOf(kImage, *chunks.key));
        approved->images[0].chunks = chunks;
    }
    EXPECT_EQ(refused, !approved);
    EXPECT_EQ(device.trust.approved, approved ? std::vector{*approved} : std::vector<platform::ApprovedCard>{});
    EXPECT_EQ(device.trust.events, GetParam().events);
    if (GetParam().lastDebugLine.empty()) {
        EXPECT_TRUE(device.system.debugLines.empty());
        return;
    }
    ASSERT_FALSE(device.system.debugLines.empty());
    EXPECT_EQ(device.system.debugLines.back().substr(0, GetParam().lastDebugLine.size()),
              std::u16string(GetParam().lastDebugLine.begin(), GetParam().lastDebugLine.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Gates, CardGateTest,
    testing::Values(
        GateCase{"SignedCardWithItsRelease", [](Device&) {},
                 [](const Device& d) { return std::optional(platform::ApprovedCard{{d.Image()}, d.Release()}); }, {},
                 "Card accepted: card signed by"},
        GateCase{"UnsignedManifestWithoutARelease", [](Device& d) { d.trust.settings = {}; },
                 [](const Device& d) { return std::optional(platform::ApprovedCard{{d.Image()}, std::nullopt}); }, {},
                 "Card accepted: unsigned manifest"},
        GateCase{"NoManifestWithoutKeyringIsAsBefore",
                 [](Device& d) {
                     d.trust.settings = {};
                     d.files.DeleteFile(u"\\StorageCard\\velkor-manifest.json");
                 },
                 [](const Device&) { return std::optional(platform::ApprovedCard{}); }, {}, ""},
        GateCase{"RefusedCardIsNotHandedOn", [](Device& d) { d.trust.settings.compatible = "velkor-vk200"; },
                 [](const Device&) { return std::optional<platform::ApprovedCard>(); }, {"card-refused wrong-compatible"},
                 "Card refused, wrong-compatible: "}),
    [](const testing::TestParamInfo<GateCase>& info) { return info.param.name; });

// After a failed row the run goes on only while the device has found no image other than listed.
TEST(CardGateRows, GoOnUntilTheDeviceFindsAMismatch) {
    Device device;
    CardGate gate(device.platform, 0);
    ASSERT_FALSE(gate.Check(u"\\StorageCard", {ImageKind::App}, device.settings));
    EXPECT_TRUE(gate.RowsGoOn());
    device.trust.mismatchFound = true;
    EXPECT_FALSE(gate.RowsGoOn());
}

}  // namespace
}  // namespace velkor::trust
