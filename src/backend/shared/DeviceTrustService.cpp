#include "backend/shared/DeviceTrustService.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/PlainFile.h"
#include "platform/ErrorCodes.h"

#include <cerrno>

namespace velkor::shared {

DeviceTrustService::DeviceTrustService(std::optional<TrustConfig> config, ErrorState& errors, EventLog& events)
    : config_(std::move(config)), errors_(errors), events_(events) {
    if (config_) {
        record_.emplace(config_->installedRecord);
    }
}

platform::TrustSettings DeviceTrustService::Settings() const {
    if (!config_) {
        return {};
    }
    return {true, config_->compatible, config_->validity};
}

std::optional<std::string> DeviceTrustService::ReadKeyring() {
    std::string pem;
    if (!config_) {
        errors_.Fail(platform::error::kFileNotFound);
        return std::nullopt;
    }
    if (!ReadPlainFile(config_->keyring.c_str(), platform::kMaxKeyringBytes, pem)) {
        errors_.Fail(errno == EFBIG ? platform::error::kInvalidData : DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    return pem;
}

std::optional<platform::InstalledRelease> DeviceTrustService::ReadInstalled() {
    if (!record_) {
        return platform::InstalledRelease{};
    }
    std::uint32_t error = platform::error::kSuccess;
    std::optional<platform::InstalledRelease> release = record_->Read(error);
    if (!release) {
        errors_.Fail(error);
    }
    return release;
}

bool DeviceTrustService::RecordInstalled(const platform::InstalledRelease& release) {
    // A device without a keyring keeps no record.
    std::uint32_t error = platform::error::kNotSupported;
    bool done = false;
    if (record_) {
        done = record_->Write(release, error);
    }
    events_.InstalledRelease(release.version, release.manifestSha256, done, error);
    if (!done) {
        return errors_.Fail(error);
    }
    return true;
}

void DeviceTrustService::LogCardRefused(std::string_view reason) { events_.CardRefused(reason); }

}  // namespace velkor::shared
