#include "trust/CardCheck.h"

#include "platform/DeviceText.h"
#include "trust/AmbiguousName.h"
#include "trust/DeviceFileReads.h"
#include "trust/Keyring.h"
#include "trust/ManifestReader.h"
#include "trust/SignatureCheck.h"
#include "update/ImageSteps.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace velkor::trust {
namespace {

// Ends a check: thrown by the step that finds the fault, caught by Check.
struct Refused {
    CardRefusal refusal;
    std::string detail;
};

[[noreturn]] void Refuse(CardRefusal refusal, std::string detail) { throw Refused{refusal, std::move(detail)}; }

struct SignatureRefusal {
    SignatureVerdict verdict;
    CardRefusal refusal;
};
constexpr std::array<SignatureRefusal, 10> kSignatureRefusals{{
    {SignatureVerdict::Unreadable, CardRefusal::SignatureUnreadable},
    {SignatureVerdict::SignerUntrusted, CardRefusal::SignerUntrusted},
    {SignatureVerdict::CertificateOutOfDate, CardRefusal::CertificateOutOfDate},
    {SignatureVerdict::Revoked, CardRefusal::CertificateRevoked},
    {SignatureVerdict::RevocationListOutOfDate, CardRefusal::RevocationListOutOfDate},
    {SignatureVerdict::RevocationUnknown, CardRefusal::RevocationUnknown},
    {SignatureVerdict::WrongPurpose, CardRefusal::WrongPurpose},
    {SignatureVerdict::ContentChanged, CardRefusal::ManifestChanged},
    {SignatureVerdict::Weak, CardRefusal::WeakSignature},
    {SignatureVerdict::KeyringUnusable, CardRefusal::KeyringUnreadable},
}};

CardRefusal RefusalOf(SignatureVerdict verdict) {
    return std::find_if(kSignatureRefusals.begin(), kSignatureRefusals.end(),
                        [&](const SignatureRefusal& entry) { return entry.verdict == verdict; })
        ->refusal;
}

std::string Utf8(std::u16string_view text) { return platform::ToUtf8(text); }

// "\StorageCard" and "AutoUpdate/NK.bin" make "\StorageCard\AutoUpdate\NK.bin".
std::u16string DevicePathOf(std::u16string_view cardRoot, std::string_view manifestPath) {
    std::u16string path = std::u16string(cardRoot) + u"\\" + platform::FromUtf8(manifestPath);
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(cardRoot.size()), path.end(), u'/', u'\\');
    return path;
}

Manifest ParseManifest(std::string_view text) {
    ManifestReading reading = ReadManifest(text);
    if (!reading.manifest) {
        Refuse(CardRefusal::ManifestMalformed, fmt::format("{}: {}", Utf8(kManifestFileName), reading.error));
    }
    return std::move(*reading.manifest);
}

CheckedCard Describe(std::u16string_view cardRoot, const Manifest& manifest, std::string_view manifestText) {
    CheckedCard card;
    card.compatible = manifest.compatible;
    card.version = manifest.version;
    card.manifestSha256 = platform::Sha256::Of(manifestText);
    for (const ManifestImage& image : manifest.images) {
        card.images.push_back({image.row, DevicePathOf(cardRoot, image.path), image.size, image.sha256, {}, {}});
    }
    return card;
}

// Every image a row will write must be listed for that row.
void CheckListed(const CheckedCard& card, const std::vector<PlannedImage>& planned) {
    for (const PlannedImage& image : planned) {
        if (image.path.empty()) {
            continue;
        }
        const CheckedImage* listed = card.Find(image.path);
        if (!listed) {
            Refuse(CardRefusal::ImageNotListed,
                   fmt::format("the {} row's image {} is not in the manifest", update::ImageKindName(image.row),
                               Utf8(image.path)));
        }
        if (listed->row != image.row) {
            Refuse(CardRefusal::ImageNotListed,
                   fmt::format("the {} row's image {} is listed for the {} row", update::ImageKindName(image.row),
                               Utf8(image.path), update::ImageKindName(listed->row)));
        }
    }
}

}  // namespace

const CheckedImage* CheckedCard::Find(std::u16string_view devicePath) const {
    const auto found = std::find_if(images.begin(), images.end(), [&](const CheckedImage& image) {
        return platform::EqualsIgnoreCase(image.devicePath, devicePath);
    });
    return found != images.end() ? &*found : nullptr;
}

CardCheck::CardCheck(platform::FileSystem& fileSystem, platform::System& system, platform::DeviceTrust& trust,
                     std::int64_t buildTime)
    : fileSystem_(fileSystem), system_(system), trust_(trust), buildTime_(buildTime) {}

CardVerdict CardCheck::Check(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned) {
    if (std::all_of(planned.begin(), planned.end(), [](const PlannedImage& image) { return image.path.empty(); })) {
        return {std::nullopt, "the update writes no image", std::nullopt};
    }
    try {
        return trust_.Settings().hasKeyring ? CheckTrusted(cardRoot, planned) : CheckUntrusted(cardRoot, planned);
    } catch (const Refused& refused) {
        return {refused.refusal, refused.detail, std::nullopt};
    }
}

CardVerdict CardCheck::CheckTrusted(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned) {
    const std::string keyring = ReadKeyringText();
    const std::optional<std::int64_t> time = VerificationTime();
    if (cardRoot.empty()) {
        Refuse(CardRefusal::NoManifest, "there is no storage card");
    }
    const std::optional<std::string> manifestText =
        ReadCardFile(cardRoot, kManifestFileName, kMaxManifestBytes, CardRefusal::ManifestMalformed);
    if (!manifestText) {
        Refuse(CardRefusal::NoManifest, fmt::format("the card has no {}", Utf8(kManifestFileName)));
    }
    const std::optional<std::string> signature =
        ReadCardFile(cardRoot, kSignatureFileName, kMaxSignatureBytes, CardRefusal::SignatureUnreadable);
    if (!signature) {
        Refuse(CardRefusal::NoSignature, fmt::format("the card has no {}", Utf8(kSignatureFileName)));
    }
    const std::string signer = VerifySignature(keyring, *manifestText, *signature, time);
    const Manifest manifest = ParseManifest(*manifestText);
    const std::string compatible = trust_.Settings().compatible;
    if (manifest.compatible != compatible) {
        Refuse(CardRefusal::WrongCompatible,
               fmt::format("the card is for \"{}\", the device is \"{}\"", manifest.compatible, compatible));
    }
    CheckedCard card = Describe(cardRoot, manifest, *manifestText);
    card.isSigned = true;
    card.signer = signer;
    CheckRelease(manifest, card.manifestSha256);
    CheckUnambiguous(card, planned);
    CheckListed(card, planned);
    CheckImages(card);
    CheckSameFiles(card, planned);
    std::string detail = fmt::format("card signed by {}, for \"{}\", version {}, manifest {}: {} images as listed",
                                     signer, compatible, card.version, platform::DigestHex(card.manifestSha256),
                                     card.images.size());
    return {std::nullopt, std::move(detail), std::move(card)};
}

CardVerdict CardCheck::CheckUntrusted(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned) {
    if (cardRoot.empty()) {
        return {std::nullopt, "there is no storage card", std::nullopt};
    }
    const std::optional<std::string> manifestText =
        ReadCardFile(cardRoot, kManifestFileName, kMaxManifestBytes, CardRefusal::ManifestMalformed);
    if (!manifestText) {
        return {std::nullopt, fmt::format("the card has no {}", Utf8(kManifestFileName)), std::nullopt};
    }
    CheckedCard card = Describe(cardRoot, ParseManifest(*manifestText), *manifestText);
    CheckUnambiguous(card, planned);
    CheckImages(card);
    CheckSameFiles(card, planned);
    std::string detail = fmt::format("unsigned manifest {}: {} images as listed",
                                     platform::DigestHex(card.manifestSha256), card.images.size());
    return {std::nullopt, std::move(detail), std::move(card)};
}

std::string CardCheck::ReadKeyringText() {
    std::optional<std::string> pem = trust_.ReadKeyring();
    if (!pem) {
        Refuse(CardRefusal::KeyringUnreadable, fmt::format("the keyring cannot be read ({})", LastErrorText()));
    }
    return std::move(*pem);
}

std::optional<std::int64_t> CardCheck::VerificationTime() const {
    if (trust_.Settings().validity == platform::ValidityRule::NotChecked) {
        return std::nullopt;
    }
    const std::int64_t now = system_.CurrentTime();
    if (now < buildTime_) {
        Refuse(CardRefusal::ClockNotSet,
               fmt::format("the device's clock ({}) is earlier than the program's build ({})", now, buildTime_));
    }
    return now;
}

std::optional<std::string> CardCheck::ReadCardFile(std::u16string_view cardRoot, std::u16string_view name,
                                                   std::size_t maxBytes, CardRefusal unreadable) {
    const std::u16string path = std::u16string(cardRoot) + u"\\" + std::u16string(name);
    DeviceFileText text = ReadDeviceFileText(fileSystem_, path, maxBytes);
    switch (text.outcome) {
        case TextReadOutcome::Read:
            return std::move(text.bytes);
        case TextReadOutcome::Missing:
            return std::nullopt;
        case TextReadOutcome::TooLarge:
            Refuse(unreadable, fmt::format("{} is larger than {} bytes", Utf8(path), maxBytes));
        case TextReadOutcome::Failed:
            break;
    }
    Refuse(unreadable, fmt::format("{} cannot be read ({})", Utf8(path), LastErrorText()));
}

std::string CardCheck::VerifySignature(std::string_view keyringPem, std::string_view manifest,
                                       std::string_view signature, std::optional<std::int64_t> time) {
    std::string error;
    const std::optional<Keyring> keyring = Keyring::FromPem(keyringPem, error);
    if (!keyring) {
        Refuse(CardRefusal::KeyringUnreadable, "the keyring does not read: " + error);
    }
    const SignatureCheck check = CheckSignature(*keyring, manifest, signature, time);
    if (check.verdict != SignatureVerdict::Valid) {
        Refuse(RefusalOf(check.verdict), fmt::format("{}: {}", Utf8(kSignatureFileName), check.detail));
    }
    return check.signer;
}

void CardCheck::CheckRelease(const Manifest& manifest, const platform::Sha256Digest& manifestSha256) {
    const std::optional<platform::InstalledRelease> installed = trust_.ReadInstalled();
    if (!installed) {
        Refuse(CardRefusal::InstalledUnreadable,
               fmt::format("the installed release cannot be read ({})", LastErrorText()));
    }
    if (installed->manifestSha256.empty()) {
        return;
    }
    if (manifest.version < installed->version) {
        Refuse(CardRefusal::OlderVersion,
               fmt::format("version {} is older than the installed {}", manifest.version, installed->version));
    }
    if (manifest.version == installed->version && platform::DigestHex(manifestSha256) != installed->manifestSha256) {
        Refuse(CardRefusal::VersionReused,
               fmt::format("version {} was installed from another manifest ({})", manifest.version,
                           installed->manifestSha256));
    }
}

void CardCheck::CheckImages(CheckedCard& card) {
    for (CheckedImage& image : card.images) {
        CheckFitsItsRegion(image);
        auto key = std::make_shared<const platform::ChunkKey>();
        std::optional<FileDigest> found = DigestDeviceFile(fileSystem_, image.devicePath, image.size, *key);
        if (!found) {
            Refuse(CardRefusal::ImageChanged, fmt::format("{} cannot be read ({})", Utf8(image.devicePath), LastErrorText()));
        }
        if (found->size != image.size) {
            Refuse(CardRefusal::ImageChanged, fmt::format("{} holds {} bytes, not the {} bytes the manifest lists",
                                                          Utf8(image.devicePath), found->size, image.size));
        }
        if (found->sha256 != image.sha256) {
            Refuse(CardRefusal::ImageChanged,
                   fmt::format("{} has the SHA-256 {}, the manifest lists {}", Utf8(image.devicePath),
                               platform::DigestHex(found->sha256), platform::DigestHex(image.sha256)));
        }
        image.identity = found->identity;
        image.chunks = {std::move(key), std::move(found->chunkTags)};
    }
}

// A listed size beyond the region could never be written, and hashing it could take hours.
void CardCheck::CheckFitsItsRegion(const CheckedImage& image) {
    const std::optional<std::uint32_t> code = update::FlashControlCode(image.row);
    const std::optional<std::uint64_t> regionBytes = code ? trust_.RegionBytes(*code) : std::nullopt;
    if (regionBytes && image.size > *regionBytes) {
        Refuse(CardRefusal::ImageChanged,
               fmt::format("{} is listed with {} bytes, more than the {} row's region holds ({} bytes)",
                           Utf8(image.devicePath), image.size, update::ImageKindName(image.row), *regionBytes));
    }
}

void CardCheck::CheckUnambiguous(const CheckedCard& card, const std::vector<PlannedImage>& planned) {
    std::vector<std::u16string_view> paths;
    for (const CheckedImage& image : card.images) {
        paths.push_back(image.devicePath);
    }
    for (const PlannedImage& image : planned) {
        if (!image.path.empty() && card.Find(image.path)) {
            paths.push_back(image.path);
        }
    }
    for (const std::u16string_view path : paths) {
        if (const std::optional<std::u16string> name = AmbiguousName(fileSystem_, path)) {
            Refuse(CardRefusal::ImageAmbiguous,
                   fmt::format("{} matches more than one entry of its folder without regard to case", Utf8(*name)));
        }
    }
}

// Each row's path must reach the very file that was hashed for it, not one of another spelling.
void CardCheck::CheckSameFiles(const CheckedCard& card, const std::vector<PlannedImage>& planned) {
    for (const PlannedImage& image : planned) {
        const CheckedImage* listed = image.path.empty() ? nullptr : card.Find(image.path);
        if (!listed) {
            continue;
        }
        const std::unique_ptr<platform::File> file = fileSystem_.OpenFile(image.path, platform::FileMode::Read);
        if (!file || file->Identity() != listed->identity) {
            Refuse(CardRefusal::ImageAmbiguous, fmt::format("the {} row's image {} is not the file {} the check read",
                                                            update::ImageKindName(image.row), Utf8(image.path),
                                                            Utf8(listed->devicePath)));
        }
    }
}

std::string CardCheck::LastErrorText() const { return fmt::format("error {}", system_.GetLastError()); }

}  // namespace velkor::trust
