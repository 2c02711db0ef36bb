#include "trust/CardCheck.h"
#include "trust/DeviceFileReads.h"
#include "trust/ManifestReader.h"
#include "trust/ManifestWriter.h"

#include "support/ChunkTagging.h"
#include "support/FakeDeviceTrust.h"
#include "support/FakeFileSystem.h"
#include "support/FakeSystem.h"
#include "support/RandomBytes.h"
#include "support/TestPki.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <optional>
#include <vector>

namespace velkor::trust {
namespace {

using update::ImageKind;

constexpr std::u16string_view kCard = u"\\StorageCard";
constexpr std::u16string_view kManifestPath = u"\\StorageCard\\velkor-manifest.json";
constexpr std::u16string_view kSignaturePath = u"\\StorageCard\\velkor-manifest.json.sig";
constexpr std::u16string_view kOsPath = u"\\StorageCard\\AutoUpdate\\NK.bin";
constexpr std::u16string_view kLogoPath = u"\\StorageCard\\AutoUpdate\\Logo1.bmp";
constexpr std::int64_t kBuildTime = 1'600'000'000;
const std::string kOsImage = "the OS image";
const std::string kLogoImage = "the logo";

// A card of two images with a manifest signed by a signer of the device's keyring.
struct Card {
    Card() {
        files.AddFile(kOsPath, kOsImage);
        files.AddFile(kLogoPath, kLogoImage);
        manifest.images = {{ImageKind::OS, "AutoUpdate/NK.bin", kOsImage.size(), platform::Sha256::Of(kOsImage)},
                           {ImageKind::Logo, "AutoUpdate/Logo1.bmp", kLogoImage.size(), platform::Sha256::Of(kLogoImage)}};
        trust.settings = {true, "velkor-vk100", platform::ValidityRule::DeviceClock};
        trust.keyringPem = pki.Root().CertificatePem();
        system.now = std::time(nullptr);
    }

    // Writes the manifest and its signature.
    void Sign() {
        const std::string text = WriteManifest(manifest);
        files.AddFile(kManifestPath, text);
        files.AddFile(kSignaturePath, test::TestPki::Sign(signer, text));
    }
    std::string ManifestDigest() const { return platform::DigestHex(platform::Sha256::Of(*files.Content(kManifestPath))); }

    test::TestPki pki;
    test::TestIdentity signer = pki.Issue({});
    Manifest manifest{"velkor-vk100", 7, {}};
    test::FakeFileSystem files;
    test::FakeSystem system;
    test::FakeDeviceTrust trust;
    std::u16string root{kCard};
    std::vector<PlannedImage> planned{{ImageKind::Logo, std::u16string(kLogoPath)},
                                      {ImageKind::OS, std::u16string(kOsPath)}};
};

void NoKeyring(Card& card) { card.trust.settings = {}; }

struct CheckCase {
    const char* name;
    // Changes the card before it is signed, and after.
    std::function<void(Card&)> beforeSigning;
    std::function<void(Card&)> afterSigning;
    std::optional<CardRefusal> refusal;
    // Whether an accepted card comes back, and signed.
    bool hasCard = true;
    bool isSigned = true;
};

class CardCheckTest : public testing::TestWithParam<CheckCase> {};

TEST_P(CardCheckTest, AcceptsOnlyWhatTheDeviceTrusts) {
    Card card;
    if (GetParam().beforeSigning) {
        GetParam().beforeSigning(card);
    }
    card.Sign();
    if (GetParam().afterSigning) {
        GetParam().afterSigning(card);
    }

    const CardVerdict verdict = CardCheck(card.files, card.system, card.trust, kBuildTime).Check(card.root, card.planned);

    EXPECT_EQ(verdict.refusal, GetParam().refusal) << verdict.detail;
    EXPECT_EQ(verdict.card.has_value(), !GetParam().refusal && GetParam().hasCard);
    if (verdict.card) {
        EXPECT_EQ(verdict.card->isSigned, GetParam().isSigned);
        EXPECT_EQ(verdict.card->version, card.manifest.version);
        EXPECT_EQ(platform::DigestHex(verdict.card->manifestSha256), card.ManifestDigest());
        const CheckedImage* os = verdict.card->Find(u"\\storagecard\\autoupdate\\nk.BIN");
        ASSERT_NE(os, nullptr);
        EXPECT_EQ(os->sha256, platform::Sha256::Of(kOsImage));
    }
    EXPECT_EQ(card.files.OpenFiles(), 0);
}

const auto kRemove = [](std::u16string_view path) {
    return [path](Card& card) { card.files.DeleteFile(path); };
};

INSTANTIATE_TEST_SUITE_P(
    Cards, CardCheckTest,
    testing::Values(
        CheckCase{"Trusted", {}, {}, std::nullopt},
        CheckCase{"ListedPathsMatchInAnyLetterCase", {},
                  [](Card& c) { c.planned = {{ImageKind::OS, u"\\STORAGECARD\\autoupdate\\nk.bin"}}; }, std::nullopt},
        CheckCase{"NoImageToWriteNeedsNoCard", {},
                  [](Card& c) { c.root.clear(), c.trust.keyringPem.reset(), c.planned = {{ImageKind::OS, u""}}; },
                  std::nullopt, false},
        CheckCase{"KeyringUnreadable", {}, [](Card& c) { c.trust.keyringPem.reset(); },
                  CardRefusal::KeyringUnreadable},
        CheckCase{"KeyringHoldsAPrivateKey", {}, [](Card& c) { c.trust.keyringPem = c.signer.KeyPem(); },
                  CardRefusal::KeyringUnreadable},
        CheckCase{"KeyringBlockWithHeaders", {},
                  [](Card& c) { c.trust.keyringPem->insert(28, "Proc-Type: 4,ENCRYPTED\nDEK-Info: DES-CBC,0011223344556677\n\n"); },
                  CardRefusal::KeyringUnreadable},
        CheckCase{"ClockBeforeTheBuild", {}, [](Card& c) { c.system.now = kBuildTime - 1; }, CardRefusal::ClockNotSet},
        CheckCase{"ClockBeforeTheBuildWithoutValidityTimes", {},
                  [](Card& c) {
                      c.system.now = kBuildTime - 1;
                      c.trust.settings.validity = platform::ValidityRule::NotChecked;
                  },
                  std::nullopt},
        CheckCase{"NoCard", {}, [](Card& c) { c.root.clear(); }, CardRefusal::NoManifest},
        CheckCase{"NoManifest", {}, kRemove(kManifestPath), CardRefusal::NoManifest},
        CheckCase{"SignatureNotCms", {}, [](Card& c) { c.files.AddFile(kSignaturePath, "not DER"); },
                  CardRefusal::SignatureUnreadable},
        CheckCase{"InstalledRecordUnreadable", {}, [](Card& c) { c.trust.installed.reset(); },
                  CardRefusal::InstalledUnreadable},
        CheckCase{"NewerVersion", {}, [](Card& c) { c.trust.installed = platform::InstalledRelease{6, "x"}; },
                  std::nullopt},
        CheckCase{"PlannedImageListedForAnotherRow", {},
                  [](Card& c) { c.planned = {{ImageKind::Boot, std::u16string(kOsPath)}}; },
                  CardRefusal::ImageNotListed},
        CheckCase{"ListedImageMissing", {}, kRemove(kLogoPath), CardRefusal::ImageChanged},
        CheckCase{"ListedImageLonger", {}, [](Card& c) { c.files.AddFile(kOsPath, kOsImage + "!"); },
                  CardRefusal::ImageChanged},
        CheckCase{"ListedSizeBeyondItsRegion",
                  [](Card& c) { c.trust.regionBytes = kOsImage.size() - 1; }, {},
                  CardRefusal::ImageChanged},
        CheckCase{"WithoutKeyringNoManifestIsAsBefore", NoKeyring, kRemove(kManifestPath), std::nullopt, false},
        CheckCase{"WithoutKeyringAnUnsignedManifestIsChecked", NoKeyring,
                  [](Card& c) {
                      c.files.DeleteFile(kSignaturePath);
                      c.planned.push_back({ImageKind::App, u"\\NandFlash\\NAPP.bin"});
                  },
                  std::nullopt, true, false},
        CheckCase{"WithoutKeyringADamagedImageIsRefused", NoKeyring,
                  [](Card& c) { c.files.AddFile(kLogoPath, "the LOGO"); }, CardRefusal::ImageChanged},
        CheckCase{"WithoutKeyringAMalformedManifestIsRefused", NoKeyring,
                  [](Card& c) { c.files.AddFile(kManifestPath, "{"); }, CardRefusal::ManifestMalformed}),
    [](const testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

// An image a terabyte long, as a sparse file is: reading it through would take most of an hour.
struct TerabyteImage : platform::File {
    bool Read(void*, std::uint32_t, std::uint32_t&) override { return false; }
    bool Write(const void*, std::uint32_t) override { return false; }
    bool Seek(std::uint64_t) override { return false; }
    std::uint64_t Length() const override { return std::uint64_t{1} << 40; }
    platform::FileIdentity Identity() const override { return {}; }
    bool Close() override { return true; }
};
struct TerabyteCard : test::FakeFileSystem {
    std::unique_ptr<platform::File> OpenFile(std::u16string_view, platform::FileMode) override {
        return std::make_unique<TerabyteImage>();
    }
};

TEST(DigestDeviceFile, ReadsNothingOfAnImageWhoseLengthIsNotTheListedSize) {
    TerabyteCard card;
    const std::optional<FileDigest> digest = DigestDeviceFile(card, kOsPath, ~std::uint64_t{0}, platform::ChunkKey());
    ASSERT_TRUE(digest) << "a read would have failed";
    EXPECT_EQ(digest->size, std::uint64_t{1} << 40);
}

// Read in requests that end anywhere, each chunk gets its tag at its place: equal chunks tag apart.
TEST(DigestDeviceFile, TagsEachChunkAtItsPlace) {
    const std::string chunk = test::RandomBytes(platform::kTaggedChunkBytes, 7);
    const std::string image = chunk + chunk + chunk + chunk + chunk.substr(0, 9);
    test::FakeFileSystem card;
    card.AddFile(kOsPath, image);
    const platform::ChunkKey key;
    const std::optional<FileDigest> digest = DigestDeviceFile(card, kOsPath, image.size(), key);
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->chunkTags, test::TagsOf(image, key));
    EXPECT_NE(digest->chunkTags.at(0), digest->chunkTags.at(1));
}

}  // namespace
}  // namespace velkor::trust
