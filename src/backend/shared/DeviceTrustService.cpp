#include "backend/shared/DeviceTrustService.h"

#include "backend/shared/BoundedFile.h"
#include "platform/ErrorCodes.h"

namespace velkor::shared {

DeviceTrustService::DeviceTrustService(std::optional<TrustConfig> config, CardApproval& approval,
                                       ReleaseRecord& record, ErrorState& errors, EventLog& events,
                                       std::function<std::optional<std::uint64_t>(std::uint32_t)> regionBytes)
    : config_(std::move(config)),
      approval_(approval),
      record_(record),
      errors_(errors),
      events_(events),
      regionBytes_(std::move(regionBytes)) {}

platform::TrustSettings DeviceTrustService::Settings() const {
    if (!config_) {
        return {};
    }
    return {true, config_->compatible, config_->validity};
}

std::optional<std::string> DeviceTrustService::ReadKeyring() {
    if (!config_) {
        errors_.Fail(platform::error::kFileNotFound);
        return std::nullopt;
    }
    std::uint32_t error = platform::error::kSuccess;
    std::optional<std::string> pem =
        ReadBoundedFile(config_->keyring, LinkRule::Refused, platform::kMaxKeyringBytes, error);
    if (!pem) {
        errors_.Fail(error);
    }
    return pem;
}

std::optional<platform::InstalledRelease> DeviceTrustService::ReadInstalled() {
    if (!config_) {
        return platform::InstalledRelease{};
    }
    std::uint32_t error = platform::error::kSuccess;
    std::optional<platform::InstalledRelease> release = record_.Read(error);
    if (!release) {
        errors_.Fail(error);
    }
    return release;
}

// With a keyring, regions written in place get a private copy: a signed card's bytes must be the
// signed ones before the old image is overwritten.
void DeviceTrustService::ApproveCard(platform::ApprovedCard card) {
    approval_.Approve(std::move(card), config_.has_value());
}

void DeviceTrustService::LogCardRefused(std::string_view reason) { events_.CardRefused(reason); }

}  // namespace velkor::shared
