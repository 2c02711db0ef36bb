#pragma once

#include "platform/DeviceTrust.h"
#include "platform/FileSystem.h"
#include "platform/System.h"
#include "trust/CardRefusal.h"
#include "trust/Manifest.h"
#include "platform/Sha256.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::trust {

// The most a signature file may hold: a CMS signature with a few certificates is a few KiB.
inline constexpr std::size_t kMaxSignatureBytes = 64 * 1024;

// An image that a row of the coming update will write.
struct PlannedImage {
    update::ImageKind row = update::ImageKind::OS;
    std::u16string path;
};

// An image of the card as the check found it, for those who write it to compare against.
struct CheckedImage {
    update::ImageKind row = update::ImageKind::OS;
    std::u16string devicePath;
    std::uint64_t size = 0;
    platform::Sha256Digest sha256{};
    // The file the check hashed.
    platform::FileIdentity identity;
    // Its chunks' tags, under a key drawn for it alone.
    platform::ChunkTags chunks;
};

// A card whose manifest the check vouched for.
struct CheckedCard {
    // False for a manifest that was only checked against the images (a device without a keyring).
    bool isSigned = false;
    std::string signer;
    std::string compatible;
    std::uint64_t version = 0;
    platform::Sha256Digest manifestSha256{};
    std::vector<CheckedImage> images;

    // The image at `devicePath` (letter case aside); null when the manifest does not list it.
    const CheckedImage* Find(std::u16string_view devicePath) const;
};

struct CardVerdict {
    std::optional<CardRefusal> refusal;
    // What was found, for the debug output: the reason of a refusal, or what was checked.
    std::string detail;
    // The card, when a manifest was checked.
    std::optional<CheckedCard> card;

    bool Accepted() const { return !refusal; }
};

// Decides, before an update does anything, whether the card may update the device.
//
// With a keyring: the manifest's signature chains to the keyring (its CRLs checked when it has
// some), at the device's clock or without validity times as the device's rule says; its
// `compatible` is the device's; its version is not below the installed one, and equal only for the
// same manifest; every image a planned row writes is listed for that row; and every listed image
// has its listed size and SHA-256 (and fits its region), is named by no name that matches two
// entries of its folder, and is the very file (FileIdentity) its row's path reaches. Without a
// keyring only a manifest the card happens to carry is checked, and only against its images; a card
// without one passes as it always has. An update that writes no image needs no card.
class CardCheck {
public:
    // `buildTime`: a device clock earlier than this is not set (ProgramBuildTime()).
    CardCheck(platform::FileSystem& fileSystem, platform::System& system, platform::DeviceTrust& trust,
              std::int64_t buildTime);

    // `cardRoot`: the storage card's root ("\StorageCard"), empty when there is no card.
    CardVerdict Check(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned);

private:
    CardVerdict CheckTrusted(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned);
    CardVerdict CheckUntrusted(std::u16string_view cardRoot, const std::vector<PlannedImage>& planned);
    std::optional<std::int64_t> VerificationTime() const;
    std::string ReadKeyringText();
    // The file's bytes; nothing when the card does not have it.
    std::optional<std::string> ReadCardFile(std::u16string_view cardRoot, std::u16string_view name,
                                            std::size_t maxBytes, CardRefusal unreadable);
    std::string VerifySignature(std::string_view keyringPem, std::string_view manifest, std::string_view signature,
                                std::optional<std::int64_t> time);
    void CheckRelease(const Manifest& manifest, const platform::Sha256Digest& manifestSha256);
    void CheckImages(CheckedCard& card);
    void CheckFitsItsRegion(const CheckedImage& image);
    void CheckUnambiguous(const CheckedCard& card, const std::vector<PlannedImage>& planned);
    void CheckSameFiles(const CheckedCard& card, const std::vector<PlannedImage>& planned);
    std::string LastErrorText() const;

    platform::FileSystem& fileSystem_;
    platform::System& system_;
    platform::DeviceTrust& trust_;
    std::int64_t buildTime_;
};

}  // namespace velkor::trust
