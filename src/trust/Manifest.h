#pragma once

#include "platform/Sha256.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::trust {

// The card's description of its images, at the card's root, and its detached CMS signature (DER).
inline constexpr std::u16string_view kManifestFileName = u"velkor-manifest.json";
inline constexpr std::u16string_view kSignatureFileName = u"velkor-manifest.json.sig";

// One image of the card: the row it is for, where it lies and what it holds.
struct ManifestImage {
    update::ImageKind row = update::ImageKind::OS;
    // Relative to the card's root, with forward slashes: "AutoUpdate/NK.bin".
    std::string path;
    std::uint64_t size = 0;
    platform::Sha256Digest sha256{};

    bool operator==(const ManifestImage&) const = default;
};

struct Manifest {
    // The device family the card is for.
    std::string compatible;
    // Grows with every release; a device never goes back to a lower one.
    std::uint64_t version = 0;
    std::vector<ManifestImage> images;

    bool operator==(const Manifest&) const = default;
};

}  // namespace velkor::trust
