#include "velkor-device/CardManifest.h"

#include "platform/DeviceText.h"
#include "platform/Sha256.h"
#include "trust/ManifestReader.h"
#include "trust/ManifestWriter.h"
#include "velkor-device/FileDigest.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// The file's size and SHA-256; nothing when it cannot be read.
std::optional<std::pair<std::uint64_t, platform::Sha256Digest>> DigestOf(const fs::path& file) {
    std::error_code failure;
    const std::uintmax_t size = fs::file_size(file, failure);
    const std::optional<platform::Sha256Digest> digest = platform::DigestFromHex(Sha256Of(file));
    if (failure || !digest) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::uint64_t>(size), *digest};
}

std::string CompatibleOf(const CardRequest& request, const CardDevice& device) {
    if (request.compatible) {
        return *request.compatible;
    }
    return device.Trust().hasKeyring ? device.Trust().compatible : std::string(kUnspecifiedCompatible);
}

std::string ManifestName() { return platform::ToUtf8(trust::kManifestFileName); }

}  // namespace

CardManifest::CardManifest(const CardRequest& request, const CardPlan& plan, const CardDevice& device)
    : request_(request), plan_(plan), device_(device) {
    manifest_.compatible = CompatibleOf(request, device);
    manifest_.version = request.version.value_or(0);
    AddImages(plan);
    text_ = trust::WriteManifest(manifest_);
}

void CardManifest::AddImages(const CardPlan& plan) {
    for (const CardFile& file : plan.Files()) {
        if (!plan.IsFirstOfItsName(file)) {
            continue;
        }
        if (const auto digest = DigestOf(file.source)) {
            manifest_.images.push_back({file.kind, plan.HostPath(file).generic_string(), digest->first, digest->second});
        }
    }
}

const trust::ManifestImage* CardManifest::Find(std::string_view path) const {
    const auto image = std::find_if(manifest_.images.begin(), manifest_.images.end(),
                                    [&](const trust::ManifestImage& listed) { return listed.path == path; });
    return image != manifest_.images.end() ? &*image : nullptr;
}

std::vector<std::string> CardManifest::Problems() const {
    std::vector<std::string> problems;
    if (request_.signing && !request_.compatible && !device_.Trust().hasKeyring) {
        problems.push_back("a signed card needs --compatible TEXT, or --device DIR of a device with a trust "
                           "configuration: a device refuses a card for another device family");
    }
    const trust::ManifestReading reading = trust::ReadManifest(text_);
    if (!reading.manifest) {
        problems.push_back(fmt::format("{} would not read on a device: {}", ManifestName(), reading.error));
    }
    CheckDevice(problems);
    CheckSharedFiles(problems);
    return problems;
}

// What a device with a keyring compares with its own before it takes a card.
void CardManifest::CheckDevice(std::vector<std::string>& problems) const {
    if (!device_.Trust().hasKeyring) {
        return;
    }
    const std::string device = device_.Name().string();
    if (manifest_.compatible != device_.Trust().compatible) {
        problems.push_back(fmt::format("the device {} is \"{}\": it refuses a card for \"{}\"", device,
                                       device_.Trust().compatible, manifest_.compatible));
    }
    const std::optional<platform::InstalledRelease>& installed = device_.Installed();
    if (!installed) {
        problems.push_back(fmt::format("the device {} cannot read its record of the installed release: it refuses "
                                       "every card until the record is mended",
                                       device));
        return;
    }
    if (installed->manifestSha256.empty()) {
        return;
    }
    if (manifest_.version < installed->version) {
        problems.push_back(fmt::format("the device {} has version {} installed: it refuses the older version {}",
                                       device, installed->version, manifest_.version));
    } else if (manifest_.version == installed->version &&
               platform::DigestHex(platform::Sha256::Of(text_)) != installed->manifestSha256) {
        problems.push_back(fmt::format("the device {} has version {} installed from another card: it takes that "
                                       "version again only from that card; give this one a higher --version",
                                       device, installed->version));
    }
}

// A signed manifest binds each path to one row, and a device with a keyring holds every row to it.
void CardManifest::CheckSharedFiles(std::vector<std::string>& problems) const {
    if (!request_.signing) {
        return;
    }
    for (const CardFile& file : plan_.Files()) {
        if (plan_.IsFirstOfItsName(file)) {
            continue;
        }
        problems.push_back(fmt::format("{} would serve the {} row from a file the manifest lists for another row: a "
                                       "device with a keyring refuses that; give the {} row a file of its own name",
                                       file.source.string(), update::ImageKindName(file.kind),
                                       update::ImageKindName(file.kind)));
    }
}

}  // namespace velkor::device_tool
