#include "velkor-device/TrustReport.h"

#include "trust/Keyring.h"
#include "velkor-device/ReportLines.h"

#include <fmt/format.h>

#include <optional>

namespace velkor::device_tool {
namespace {

std::string ValidityText(platform::ValidityRule rule) {
    return rule == platform::ValidityRule::NotChecked ? "not-checked" : "device-clock";
}

// The keyring's contents, or why the device cannot use it.
std::string KeyringText(platform::DeviceTrust& trust, const std::function<std::uint32_t()>& lastError,
                        std::vector<std::string>& problems) {
    const std::optional<std::string> pem = trust.ReadKeyring();
    if (!pem) {
        problems.push_back(fmt::format("the keyring cannot be read (error {}): every card is refused", lastError()));
        return "cannot be read";
    }
    std::string error;
    const std::optional<trust::Keyring> keyring = trust::Keyring::FromPem(*pem, error);
    if (!keyring) {
        problems.push_back(fmt::format("the keyring does not read: {}; every card is refused", error));
        return "does not read";
    }
    return fmt::format("{} certificate(s), {} CRL(s)", keyring->CertificateCount(), keyring->RevocationListCount());
}

std::string InstalledText(platform::DeviceTrust& trust, const std::function<std::uint32_t()>& lastError,
                          std::vector<std::string>& problems) {
    const std::optional<platform::InstalledRelease> installed = trust.ReadInstalled();
    if (!installed) {
        problems.push_back(fmt::format("the installed release cannot be read (error {}): every card is refused",
                                       lastError()));
        return "cannot be read";
    }
    if (installed->manifestSha256.empty()) {
        return "none yet: any version is taken";
    }
    return fmt::format("version {}, manifest SHA-256 {}", installed->version, installed->manifestSha256);
}

}  // namespace

std::vector<std::string> PrintTrust(std::ostream& out, platform::DeviceTrust& trust,
                                    const std::function<std::uint32_t()>& lastError, const TrustPlaces& places) {
    const platform::TrustSettings settings = trust.Settings();
    if (!settings.hasKeyring) {
        Line(out, "Trust", "none: any card is taken; a manifest on it is still held to its images");
        return {};
    }
    std::vector<std::string> problems;
    Line(out, "Trust", fmt::format("compatible \"{}\", validity {}", settings.compatible, ValidityText(settings.validity)));
    Detail(out, fmt::format("keyring {}: {}", places.keyring, KeyringText(trust, lastError, problems)));
    Detail(out, fmt::format("installed, in {}: {}", places.record, InstalledText(trust, lastError, problems)));
    return problems;
}

}  // namespace velkor::device_tool
