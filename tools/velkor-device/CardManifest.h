#pragma once

#include "trust/Manifest.h"
#include "velkor-device/CardDevice.h"
#include "velkor-device/CardPlan.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkor::device_tool {

// The device family of a manifest that was given none, for a device without a trust configuration.
inline constexpr std::string_view kUnspecifiedCompatible = "unspecified";

// The manifest a card carries: each file of the card once, for the first row it serves, with its
// path below the card's root and the size and SHA-256 of its source, which the card's copy must
// match; the device family and the version.
class CardManifest {
public:
    CardManifest(const CardRequest& request, const CardPlan& plan, const CardDevice& device);

    // What stands against the manifest: a signed card without a device family, a manifest the device
    // would not read, a family or version the device would refuse, one file serving two rows of a
    // signed card. A source that cannot be read is left out (the image checks name it).
    std::vector<std::string> Problems() const;

    const trust::Manifest& Contents() const { return manifest_; }
    // As the card holds it.
    const std::string& Text() const { return text_; }
    // The image listed at `path` (relative to the card's root); null when none is.
    const trust::ManifestImage* Find(std::string_view path) const;

private:
    void AddImages(const CardPlan& plan);
    void CheckDevice(std::vector<std::string>& problems) const;
    void CheckSharedFiles(std::vector<std::string>& problems) const;

    const CardRequest& request_;
    const CardPlan& plan_;
    const CardDevice& device_;
    trust::Manifest manifest_;
    std::string text_;
};

}  // namespace velkor::device_tool
