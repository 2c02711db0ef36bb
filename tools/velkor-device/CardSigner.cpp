#include "velkor-device/CardSigner.h"

#include "backend/shared/BoundedFile.h"
#include "backend/shared/DeviceError.h"

#include <fmt/format.h>

namespace velkor::device_tool {
namespace {

// A key with its certificate and a few intermediates is a few KiB.
constexpr std::uint64_t kMaxPemBytes = 1024 * 1024;

std::optional<std::string> ReadPem(const std::filesystem::path& file, std::string_view role,
                                   std::vector<std::string>& problems) {
    try {
        return shared::ReadBoundedFile(file, role, shared::LinkRule::Followed, kMaxPemBytes);
    } catch (const shared::DeviceError& failure) {
        problems.push_back(failure.what());
        return std::nullopt;
    }
}

}  // namespace

std::optional<trust::ManifestSigner> LoadSigner(const CardSigning& signing, std::vector<std::string>& problems) {
    const std::optional<std::string> key = ReadPem(signing.key, "the signing key", problems);
    const std::optional<std::string> certificate = ReadPem(signing.certificate, "the signing certificate", problems);
    const std::optional<std::string> chain =
        signing.chain ? ReadPem(*signing.chain, "the certificate chain", problems) : std::string();
    if (!key || !certificate || !chain) {
        return std::nullopt;
    }
    std::string error;
    std::optional<trust::ManifestSigner> signer = trust::ManifestSigner::FromPem(*key, *certificate, *chain, error);
    if (!signer) {
        problems.push_back(fmt::format("{} and {}: {}", signing.key.string(), signing.certificate.string(), error));
    }
    return signer;
}

}  // namespace velkor::device_tool
