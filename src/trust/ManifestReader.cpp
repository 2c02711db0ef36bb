#include "trust/ManifestReader.h"

#include "platform/DeviceText.h"
#include "trust/JsonShapeGuard.h"
#include "trust/ManifestFields.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace velkor::trust {
namespace {

using nlohmann::json;

// The document, the images list and an image; no object has more fields than an image.
constexpr JsonShape kManifestShape{3, kMaxManifestImages, 4};
constexpr std::array<std::string_view, 3> kManifestFields{field::kCompatible, field::kVersion, field::kImages};
constexpr std::array<std::string_view, 4> kImageFields{field::kRow, field::kPath, field::kSize, field::kSha256};
constexpr std::string_view kForbiddenInPaths = "\\:*?\"<>|";

class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(std::string_view fieldPath, std::string_view expected) {
    throw ManifestError(fmt::format("\"{}\" must be {}", fieldPath, expected));
}

std::string FieldPath(std::string_view parent, std::string_view name) {
    return parent.empty() ? std::string(name) : fmt::format("{}.{}", parent, name);
}

// The object's fields, each of which must be known; every known one must be there.
template <std::size_t Count>
void CheckFields(const json& object, std::string_view where, const std::array<std::string_view, Count>& known) {
    if (!object.is_object()) {
        Fail(where.empty() ? "the document" : where, "an object");
    }
    for (const auto& [name, value] : object.items()) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            throw ManifestError(fmt::format("\"{}\" is not a field of the manifest", FieldPath(where, name)));
        }
    }
    for (const std::string_view name : known) {
        if (!object.contains(name)) {
            throw ManifestError(fmt::format("\"{}\" is missing", FieldPath(where, name)));
        }
    }
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool IsPathComponent(std::string_view component) {
    return !component.empty() && component != "." && component != ".." && !HasControlCharacter(component) &&
           component.find_first_of(kForbiddenInPaths) == std::string_view::npos;
}

bool IsCardPath(std::string_view path) {
    if (path.empty() || platform::FromUtf8(path).size() > kMaxManifestPathLength) {
        return false;
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('/', start);
        if (!IsPathComponent(path.substr(start, end - start))) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::uint64_t ReadUnsigned(const json& value, const std::string& fieldPath) {
    if (!value.is_number_unsigned()) {
        Fail(fieldPath, "a whole number from 0");
    }
    return value.get<std::uint64_t>();
}

std::string ReadCompatible(const json& value) {
    const std::string_view fieldPath = field::kCompatible;
    if (!value.is_string() || value.get_ref<const std::string&>().empty() ||
        platform::FromUtf8(value.get_ref<const std::string&>()).size() > kMaxCompatibleLength ||
        HasControlCharacter(value.get_ref<const std::string&>())) {
        Fail(fieldPath, fmt::format("a text of 1 to {} characters without control characters", kMaxCompatibleLength));
    }
    return value.get<std::string>();
}

update::ImageKind ReadRow(const json& value, const std::string& fieldPath) {
    const std::optional<update::ImageKind> row =
        value.is_string() ? update::ImageKindNamed(value.get_ref<const std::string&>()) : std::nullopt;
    if (!row || !update::WritesImage(*row)) {
        Fail(fieldPath, "\"OS\", \"Logo\", \"Logo2\", \"Boot\" or \"App\"");
    }
    return *row;
}

std::string ReadPath(const json& value, const std::string& fieldPath) {
    if (!value.is_string() || !IsCardPath(value.get_ref<const std::string&>())) {
        Fail(fieldPath, fmt::format("a path of at most {} characters relative to the card's root, with \"/\" between "
                                    "names that are not empty, \".\" or \"..\" and hold no control character or any of {}",
                                    kMaxManifestPathLength, kForbiddenInPaths));
    }
    return value.get<std::string>();
}

platform::Sha256Digest ReadDigest(const json& value, const std::string& fieldPath) {
    const std::optional<platform::Sha256Digest> digest =
        value.is_string() ? platform::DigestFromHex(value.get_ref<const std::string&>()) : std::nullopt;
    if (!digest) {
        Fail(fieldPath, "64 hexadecimal digits");
    }
    return *digest;
}

ManifestImage ReadImage(const json& object, std::size_t index) {
    const std::string where = fmt::format("{}[{}]", field::kImages, index);
    CheckFields(object, where, kImageFields);
    return ManifestImage{ReadRow(object.at(field::kRow), FieldPath(where, field::kRow)),
                         ReadPath(object.at(field::kPath), FieldPath(where, field::kPath)),
                         ReadUnsigned(object.at(field::kSize), FieldPath(where, field::kSize)),
                         ReadDigest(object.at(field::kSha256), FieldPath(where, field::kSha256))};
}

// Each row once, and each path once whatever its letter case, since the card's file system
// would find either spelling.
void CheckUnique(const std::vector<ManifestImage>& images) {
    for (std::size_t later = 1; later < images.size(); ++later) {
        for (std::size_t earlier = 0; earlier < later; ++earlier) {
            const std::string where = fmt::format("{}[{}]", field::kImages, later);
            if (images[later].row == images[earlier].row) {
                throw ManifestError(fmt::format("\"{}.{}\" lists the row {} a second time", where, field::kRow,
                                                update::ImageKindName(images[later].row)));
            }
            if (platform::EqualsIgnoreCase(platform::FromUtf8(images[later].path),
                                           platform::FromUtf8(images[earlier].path))) {
                throw ManifestError(fmt::format("\"{}.{}\" lists the path of {}[{}] a second time", where, field::kPath,
                                                field::kImages, earlier));
            }
        }
    }
}

Manifest ReadDocument(const json& document) {
    CheckFields(document, "", kManifestFields);
    Manifest manifest;
    manifest.compatible = ReadCompatible(document.at(field::kCompatible));
    manifest.version = ReadUnsigned(document.at(field::kVersion), std::string(field::kVersion));
    const json& images = document.at(field::kImages);
    if (!images.is_array()) {
        Fail(field::kImages, "a list of images");
    }
    for (std::size_t index = 0; index < images.size(); ++index) {
        manifest.images.push_back(ReadImage(images[index], index));
    }
    CheckUnique(manifest.images);
    return manifest;
}

}  // namespace

ManifestReading ReadManifest(std::string_view text) {
    if (text.size() > kMaxManifestBytes) {
        return {std::nullopt, fmt::format("larger than {} bytes", kMaxManifestBytes)};
    }
    // The JSON parser ends its input at a NUL, so bytes after one would be signed but never read.
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        return {std::nullopt, fmt::format("holds a NUL byte (at byte {})", nul)};
    }
    JsonShapeGuard guard(kManifestShape);
    if (!guard.Check(text)) {
        return {std::nullopt, guard.Error()};
    }
    try {
        // The guard has read the same text, so it parses, and into no more than the shape allows.
        return {ReadDocument(json::parse(text)), {}};
    } catch (const ManifestError& error) {
        return {std::nullopt, error.what()};
    }
}

}  // namespace velkor::trust
