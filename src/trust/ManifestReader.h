#pragma once

#include "trust/Manifest.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::trust {

// The most a manifest may hold; a larger file is refused unread.
inline constexpr std::size_t kMaxManifestBytes = 1024 * 1024;
// One image for each row that writes one.
inline constexpr std::size_t kMaxManifestImages = 5;
// Characters of an image's path, so that the card's root and the path fit the device's
// 260-character paths.
inline constexpr std::size_t kMaxManifestPathLength = 240;
inline constexpr std::size_t kMaxCompatibleLength = 128;

struct ManifestReading {
    std::optional<Manifest> manifest;
    // Why there is none: the field at fault and what it must be.
    std::string error;
};

// Reads a manifest from a card, which nobody vouches for: the text must be at most
// kMaxManifestBytes of JSON holding exactly the fields WriteManifest writes, each key once per
// object, at most kMaxManifestImages images, each row and each path (letter case aside) once.
// Image paths are relative to the card's root, with forward slashes, and have no empty, "." or
// ".." component, backslash, drive colon, wildcard or control character.
ManifestReading ReadManifest(std::string_view text);

}  // namespace velkor::trust
