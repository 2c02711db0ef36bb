#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"
#include "support/TestPki.h"
#include "trust/ManifestWriter.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using update::ImageKind;

constexpr int kUpdateTimeoutSeconds = 60;
constexpr const char* kCompatible = "velkor-sim";

// What the device directory holds, file by file (its logs and the program's lock aside): a card refused must leave it
// byte for byte as it was.
std::map<std::string, std::string> DeviceDigests(const fs::path& device) {
    std::map<std::string, std::string> digests;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(device)) {
        const std::string name = fs::relative(entry.path(), device).string();
        if (entry.is_regular_file() && name != "debug.log" && name != "events.log" &&
            name != "velkor.lock") {
            digests[name] = platform::DigestHex(platform::Sha256::Of(ReadHostFile(entry.path())));
        }
    }
    return digests;
}

// A device with a keyring, and its card's images listed in a manifest signed by a signer it
// trusts; each case changes one thing.
struct TrustedDevice {
    explicit TrustedDevice(UpdaterSession& session, const char* imageFolder) : session(session), folder(imageFolder) {
        for (const auto& [row, name] : {std::pair{ImageKind::OS, "NK.bin"}, {ImageKind::Logo, "Logo1.bmp"},
                                        {ImageKind::Logo2, "logo2.bmp"}, {ImageKind::Boot, "Eboot.nb0"},
                                        {ImageKind::App, "NAPP.bin"}}) {
            const std::string bytes = ReadHostFile(session.Card() / folder / name);
            manifest.images.push_back({row, folder + "/" + name, bytes.size(), platform::Sha256::Of(bytes)});
        }
    }

    // Writes the trust configuration, the keyring, the manifest and its signature.
    void Prepare() {
        const fs::path config = session.Device() / "device.json";
        nlohmann::json document = nlohmann::json::parse(ReadHostFile(config));
        document["trust"] = {{"keyring", "keyring.pem"}, {"compatible", kCompatible}, {"validity", validity}};
        WriteHostFile(config, document.dump(2));
        WriteHostFile(session.Device() / "keyring.pem", keyring);
        if (manifestText.empty()) {
            manifestText = trust::WriteManifest(manifest);
        }
        WriteHostFile(session.Card() / "velkor-manifest.json", manifestText);
        WriteHostFile(session.Card() / "velkor-manifest.json.sig", TestPki::Sign(signer, manifestText));
    }
    std::string ManifestDigest() const { return platform::DigestHex(platform::Sha256::Of(manifestText)); }
    void SetInstalled(std::uint64_t version, const std::string& digest) const {
        WriteHostFile(session.Device() / "installed.json",
                      nlohmann::json{{"version", version}, {"manifestSha256", digest}}.dump());
    }
    fs::path CardFile(const char* name) const { return session.Card() / name; }
    fs::path Image(const char* name) const { return session.Card() / folder / name; }

    UpdaterSession& session;
    std::string folder;
    TestPki pki;
    TestIdentity signer = pki.Issue({});
    std::string keyring = pki.Root().CertificatePem();
    std::string validity = "device-clock";
    trust::Manifest manifest{kCompatible, 7, {}};
    // Empty: the manifest as written.
    std::string manifestText;
};

struct TrustCase {
    const char* name;
    std::function<void(TrustedDevice&)> beforeSigning;
    std::function<void(TrustedDevice&)> afterSigning;
    // The refusal's short name; empty for a card the device takes.
    std::string refusal;
    // The card's release is the one the confirmed, booted slot runs: taken, but nothing is written.
    bool runsAlready = false;
};

void Nothing(TrustedDevice&) {}

TestIdentity Signer(TrustedDevice& device, const char* extendedKeyUsage, std::int64_t notAfter) {
    CertificateProfile profile;
    profile.extendedKeyUsage = extendedKeyUsage;
    profile.notBefore = std::min<std::int64_t>(profile.notBefore, notAfter - kDaySeconds);
    profile.notAfter = notAfter;
    return device.pki.Issue(profile);
}

const auto kExpiredSigner = [](TrustedDevice& d) { d.signer = Signer(d, "", -kDaySeconds); };

// The events that are effects on the device (the updater's own start-up aside).
std::vector<std::string> Effects(const fs::path& device) {
    std::vector<std::string> events = LogTexts(ReadHostFile(device / "events.log"));
    std::erase_if(events, [](const std::string& event) { return event.starts_with("thread-priority"); });
    return events;
}

class TrustedCardTest : public testing::TestWithParam<TrustCase> {};

// An unattended card on a device with a keyring: the card is checked before anything happens; a
// refused card leaves the device as it was, with one message and one events.log line.
TEST_P(TrustedCardTest, OnlyATrustedCardUpdatesTheDevice) {
    UpdaterSession session({"--auto"});
    TrustedDevice device(session, "AutoUpdate");
    GetParam().beforeSigning(device);
    device.Prepare();
    GetParam().afterSigning(device);
    const auto before = DeviceDigests(session.Device());

    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no message";

    const std::vector<std::string> debug = LogTexts(ReadHostFile(session.Device() / "debug.log"));
    if (!GetParam().refusal.empty()) {
        EXPECT_EQ(DeviceDigests(session.Device()), before);
        EXPECT_EQ(session.OtherWindowCount(), 1);
        EXPECT_EQ(Effects(session.Device()), std::vector<std::string>{"card-refused " + GetParam().refusal});
        const std::string reason = "Card refused, " + GetParam().refusal + ": ";
        EXPECT_EQ(std::count_if(debug.begin(), debug.end(), [&](const std::string& line) { return line.starts_with(reason); }), 1);
        return;
    }
    EXPECT_EQ(ReadHostFile(session.Device() / "flash/os.bin"), ReadHostFile(device.Image("NK.bin")));
    EXPECT_EQ(nlohmann::json::parse(ReadHostFile(session.Device() / "installed.json")),
              (nlohmann::json{{"version", 7}, {"manifestSha256", device.ManifestDigest()}}));
    const std::vector<std::string> effects = Effects(session.Device());
    EXPECT_EQ(effects.back(), "installed-release 7 " + device.ManifestDigest() + " -> 1");
}

INSTANTIATE_TEST_SUITE_P(
    Cards, TrustedCardTest,
    testing::Values(
        TrustCase{"Good", Nothing, Nothing, ""},
        TrustCase{"SignerOutsideTheKeyring", Nothing,
                  [](TrustedDevice& d) {
                      TestPki other("Another Root CA");
                      WriteHostFile(d.CardFile("velkor-manifest.json.sig"), TestPki::Sign(other.Issue({}), d.manifestText));
                  },
                  "signer-untrusted"},
        TrustCase{"ExpiredCertificateAtTheDevicesClock", kExpiredSigner, Nothing, "certificate-out-of-date"},
        TrustCase{"ExpiredCertificateWithoutValidityTimes",
                  [](TrustedDevice& d) { kExpiredSigner(d), d.validity = "not-checked"; }, Nothing, ""},
        TrustCase{"RevokedCertificate",
                  [](TrustedDevice& d) { d.keyring += d.pki.CrlPem({&d.signer}, 30 * kDaySeconds); }, Nothing,
                  "certificate-revoked"},
        TrustCase{"ExpiredCrl", [](TrustedDevice& d) { d.keyring += d.pki.CrlPem({}, -3600); }, Nothing,
                  "crl-out-of-date"},
        TrustCase{"CodeSigningOnly", [](TrustedDevice& d) { d.signer = Signer(d, "codeSigning", kDaySeconds); },
                  Nothing, "signer-purpose"},
        TrustCase{"ManifestChangedAfterSigning", Nothing,
                  [](TrustedDevice& d) { WriteHostFile(d.CardFile("velkor-manifest.json"), d.manifestText + " "); },
                  "manifest-changed"},
        TrustCase{"ImageChangedAfterSigning", Nothing,
                  [](TrustedDevice& d) {
                      std::string image = ReadHostFile(d.Image("NAPP.bin"));
                      image[1000] ^= 1;
                      WriteHostFile(d.Image("NAPP.bin"), image);
                  },
                  "image-changed"},
        TrustCase{"SecondSpellingOfAListedImage", Nothing,
                  [](TrustedDevice& d) { WriteHostFile(d.Image("LOGO2.BMP"), "other bytes"); }, "image-ambiguous"},
        // The Kelvin sign folds to "k", so two names of the folder match the listed "NK.bin".
        TrustCase{"KelvinSignBesideAListedName", Nothing,
                  [](TrustedDevice& d) { WriteHostFile(d.Image("N\u212A.bin"), "other bytes"); }, "image-ambiguous"},
        TrustCase{"SignerKeyBelowTheFloor",
                  [](TrustedDevice& d) { CertificateProfile weak; weak.rsaBits = 1024, d.signer = d.pki.Issue(weak); },
                  Nothing, "weak-signature"},
        TrustCase{"ImageMissingFromTheManifest",
                  [](TrustedDevice& d) { d.manifest.images.erase(d.manifest.images.begin() + 1); }, Nothing,
                  "image-not-listed"},
        TrustCase{"DuplicatePath", [](TrustedDevice& d) { d.manifest.images[3].path = "autoupdate/nk.BIN"; }, Nothing,
                  "manifest-malformed"},
        TrustCase{"WrongCompatible", [](TrustedDevice& d) { d.manifest.compatible = "velkor-other"; }, Nothing,
                  "wrong-compatible"},
        TrustCase{"LowerVersion", Nothing, [](TrustedDevice& d) { d.SetInstalled(8, std::string(64, '0')); },
                  "older-version"},
        TrustCase{"EqualVersionSameManifest", Nothing, [](TrustedDevice& d) { d.SetInstalled(7, d.ManifestDigest()); },
                  ""},
        TrustCase{"EqualVersionOtherManifest", Nothing,
                  [](TrustedDevice& d) { d.SetInstalled(7, std::string(64, '0')); }, "version-reused"},
        TrustCase{"NoSignature", Nothing, [](TrustedDevice& d) { fs::remove(d.CardFile("velkor-manifest.json.sig")); },
                  "no-signature"},
        TrustCase{"MalformedManifest", [](TrustedDevice& d) { d.manifestText = "{\"version\": 7"; }, Nothing,
                  "manifest-malformed"},
        TrustCase{"ManifestOverTheSizeLimit",
                  [](TrustedDevice& d) { d.manifestText = trust::WriteManifest(d.manifest) + std::string(1 << 20, ' '); },
                  Nothing, "manifest-malformed"},
        TrustCase{"SignedByTheOpensslCommandAlone", Nothing,
                  [](TrustedDevice& d) {
                      const fs::path folder = d.session.Device().parent_path();
                      WriteHostFile(folder / "signer.pem", d.signer.CertificatePem());
                      WriteHostFile(folder / "signer.key", d.signer.KeyPem());
                      const auto path = [](const fs::path& file) { return QString::fromStdString(file.string()); };
                      const ProgramResult signing = RunProgram(
                          "openssl", {"cms", "-sign", "-binary", "-outform", "DER", "-in",
                                      path(d.CardFile("velkor-manifest.json")), "-signer", path(folder / "signer.pem"),
                                      "-inkey", path(folder / "signer.key"), "-out",
                                      path(d.CardFile("velkor-manifest.json.sig"))});
                      ASSERT_EQ(signing.exitCode, 0) << signing.standardError.toStdString();
                  },
                  ""}),
    [](const testing::TestParamInfo<TrustCase>& info) { return info.param.name; });

// Picked by hand: an image from outside the signed manifest is refused when Update is pressed,
// before anything happens.
TEST(TrustedCardEndToEnd, AnImagePickedFromOutsideTheManifestIsRefused) {
    UpdaterSession session;
    TrustedDevice device(session, "Images");
    device.manifest.images.pop_back();
    device.Prepare();
    WriteHostFile(session.Card() / "updater.cfg",
                  SettingsFileBytes({u"1", u"\\StorageCard\\Images\\NK.bin", u"0", u"", u"0", u"", u"0", u"", u"1",
                                     u"\\StorageCard\\Images\\NAPP.bin", u"0"}));
    const auto before = DeviceDigests(session.Device());
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(kClickUpdate));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no message";

    EXPECT_EQ(DeviceDigests(session.Device()), before);
    EXPECT_EQ(Effects(session.Device()), std::vector<std::string>{"card-refused image-not-listed"});
}

constexpr std::uint64_t kSlotBytes = 4 * 1024 * 1024;
constexpr std::uint64_t kEnvironmentBytes = 8192;

shared::UbootEnvironment Environment(const fs::path& device) {
    return shared::UbootEnvironment(
        {{{device / "uboot.env", 0, kEnvironmentBytes}, {device / "uboot-redund.env", 0, kEnvironmentBytes}}});
}

// Gives the device two-slot OS and App regions, its environment as env-init makes it, and slot A booted.
void MakeTwoSlots(const fs::path& device) {
    nlohmann::json config = nlohmann::json::parse(ReadHostFile(device / "device.json"));
    config["flashRegions"]["os"] = {{"slots", {kSlotBytes, kSlotBytes}}};
    config["flashRegions"]["app"] = {{"slots", {kSlotBytes, kSlotBytes}}};
    config["bootEnvironment"] = {{"size", kEnvironmentBytes}};
    WriteHostFile(device / "device.json", config.dump(2));
    const ProgramResult init =
        RunProgram(VELKOR_DEVICE_BINARY, {"env-init", "--device", QString::fromStdString(device.string())});
    ASSERT_EQ(init.exitCode, 0) << init.standardError.toStdString();
    WriteHostFile(device / "cmdline", "velkor.slot=A\n");
}

// The release and the slot order as the boot environment holds them.
std::string EnvironmentText(const fs::path& device) {
    const std::array<std::string_view, 3> names{"BOOT_ORDER", shared::ReleaseRecord::kVersionVariable,
                                                shared::ReleaseRecord::kManifestVariable};
    std::string text;
    for (const auto& [name, value] : Environment(device).Values(names)) {
        text += name + "=" + value + " ";
    }
    return text;
}

struct ChangedCardCase {
    const char* name;
    bool twoSlots;
    // The card's image that changes once the card was checked.
    const char* changed;
    // The rows' flash files that exist afterwards.
    std::vector<std::string> written;
};

class ChangedCardTest : public testing::TestWithParam<ChangedCardCase> {};

// The card is checked, then an image changes before its row writes it (the simulator's switch):
// its row fails, the rows after it do not run, and no slot switch or release is committed.
TEST_P(ChangedCardTest, FailsItsRowAndCommitsNothing) {
    UpdaterSession session({"--auto"});
    TrustedDevice device(session, "AutoUpdate");
    device.validity = "not-checked";
    device.Prepare();
    if (GetParam().twoSlots) {
        MakeTwoSlots(session.Device());
    }
    const std::string changed = "\\StorageCard\\AutoUpdate\\" + std::string(GetParam().changed);
    session.SetFaults(nlohmann::json{{"cardImagesChangedAfterCheck", {changed}}}.dump());
    const std::string environmentBefore = GetParam().twoSlots ? EnvironmentText(session.Device()) : "";

    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no message";

    std::vector<std::string> written;
    for (const char* file : {"logo.bin", "boot.bin", "os.bin", "app.bin", "os-b.bin", "app-b.bin"}) {
        if (fs::exists(session.Device() / "flash" / file)) {
            written.emplace_back(file);
        }
    }
    EXPECT_EQ(written, GetParam().written);
    // A one-slot device raised its record to the card's release before the first in-place byte.
    EXPECT_EQ(fs::exists(session.Device() / "installed.json"), !GetParam().twoSlots);
    if (GetParam().twoSlots) {
        EXPECT_EQ(EnvironmentText(session.Device()), environmentBefore) << "only the disarm store, undone by no commit";
    }
    // The row names the image as the auto-update detection spells it.
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text;
    };
    const std::string debug = lower(ReadHostFile(session.Device() / "debug.log"));
    EXPECT_NE(debug.find(lower(changed + " is not the image the card's manifest lists")), std::string::npos)
        << debug;
}

INSTANTIATE_TEST_SUITE_P(
    Cards, ChangedCardTest,
    testing::Values(
        // Written in place from a private copy, which did not match: the OS region is never touched.
        ChangedCardCase{"OneSlotOs", false, "NK.bin", {"logo.bin", "boot.bin"}},
        ChangedCardCase{"TwoSlotsApp", true, "NAPP.bin", {"logo.bin", "boot.bin", "os-b.bin", "app-b.bin"}},
        // The second logo's copy stops the rows after it, the slots' among them.
        ChangedCardCase{"SecondLogo", true, "logo2.bmp", {"logo.bin"}}),
    [](const testing::TestParamInfo<ChangedCardCase>& info) { return info.param.name; });

struct VersionCase {
    const char* name;
    std::uint64_t installedVersion;
    // The installed manifest is the card's own.
    bool sameManifest;
    // The refusal's short name; empty for a card the device takes.
    std::string refusal;
    // The card's release is the one the confirmed, booted slot runs: taken, but nothing is written.
    bool runsAlready = false;
};

class EnvironmentVersionTest : public testing::TestWithParam<VersionCase> {};

// A device with two-slot regions keeps its release in the boot environment, in the store that
// switches the slots: a lower version is refused, an equal one only from the same manifest.
TEST_P(EnvironmentVersionTest, TheVersionRuleHoldsAcrossTheEnvironment) {
    UpdaterSession session({"--auto"});
    TrustedDevice device(session, "AutoUpdate");
    device.validity = "not-checked";
    device.Prepare();
    MakeTwoSlots(session.Device());
    const std::string installedDigest = GetParam().sameManifest ? device.ManifestDigest() : std::string(64, 'e');
    Environment(session.Device())
        .Store(shared::ReleaseRecord::Variables({GetParam().installedVersion, installedDigest}));
    const std::string before = EnvironmentText(session.Device());
    const std::vector<std::string> effectsBefore = Effects(session.Device());

    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no message";

    const std::vector<std::string> effects = Effects(session.Device());
    EXPECT_FALSE(fs::exists(session.Device() / "installed.json")) << "the release lives in the environment";
    if (GetParam().runsAlready) {
        EXPECT_EQ(effects, effectsBefore) << "nothing happened on the device";
        return;
    }
    if (!GetParam().refusal.empty()) {
        EXPECT_EQ(effects.back(), "card-refused " + GetParam().refusal);
        EXPECT_EQ(EnvironmentText(session.Device()), before);
        return;
    }
    EXPECT_EQ(EnvironmentText(session.Device()),
              "BOOT_ORDER=B A VELKOR_MANIFEST_SHA256=" + device.ManifestDigest() + " VELKOR_VERSION=7 ");
    // One store makes both changes: the switch and the release.
    EXPECT_EQ(effects.back(), "environment-store BOOT_ORDER=\"B A\" BOOT_B_LEFT=3 VELKOR_VERSION=7 "
                              "VELKOR_MANIFEST_SHA256=" + device.ManifestDigest() + " -> 1");
}

INSTANTIATE_TEST_SUITE_P(Versions, EnvironmentVersionTest,
                         testing::Values(VersionCase{"Lower", 8, false, "older-version"},
                                         VersionCase{"EqualFromAnotherManifest", 7, false, "version-reused"},
                                         VersionCase{"EqualFromTheSameManifest", 7, true, "", true},
                                         VersionCase{"Higher", 6, false, ""}),
                         [](const testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
