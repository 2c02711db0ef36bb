#include "trust/ManifestWriter.h"

#include "trust/ManifestFields.h"

#include <nlohmann/json.hpp>

namespace velkor::trust {

std::string WriteManifest(const Manifest& manifest) {
    nlohmann::ordered_json images = nlohmann::ordered_json::array();
    for (const ManifestImage& image : manifest.images) {
        images.push_back({{field::kRow, update::ImageKindName(image.row)},
                          {field::kPath, image.path},
                          {field::kSize, image.size},
                          {field::kSha256, platform::DigestHex(image.sha256)}});
    }
    const nlohmann::ordered_json document{
        {field::kCompatible, manifest.compatible}, {field::kVersion, manifest.version}, {field::kImages, images}};
    return document.dump(2) + "\n";
}

}  // namespace velkor::trust
