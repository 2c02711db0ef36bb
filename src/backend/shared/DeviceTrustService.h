#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/TrustConfig.h"
#include "platform/DeviceTrust.h"

#include <functional>
#include <optional>

namespace velkor::shared {

// The device's trust configuration and installed release, from files on the host that its backend
// names and from its release record. The keyring is read afresh for every check, so a newer keyring
// counts as soon as it is in place. An approved card goes to the `approval` that the device's
// writers and its commit point share.
class DeviceTrustService : public platform::DeviceTrust {
public:
    // Nothing for a device without a keyring. `regionBytes` answers RegionBytes from the backend's
    // flash regions.
    DeviceTrustService(std::optional<TrustConfig> config, CardApproval& approval, ReleaseRecord& record,
                       ErrorState& errors, EventLog& events,
                       std::function<std::optional<std::uint64_t>(std::uint32_t)> regionBytes);

    platform::TrustSettings Settings() const override;
    std::optional<std::string> ReadKeyring() override;
    std::optional<platform::InstalledRelease> ReadInstalled() override;
    void ApproveCard(platform::ApprovedCard card) override;
    bool MismatchFound() const override { return approval_.MismatchFound(); }
    std::optional<std::uint64_t> RegionBytes(std::uint32_t controlCode) override { return regionBytes_(controlCode); }
    void LogCardRefused(std::string_view reason) override;

private:
    std::optional<TrustConfig> config_;
    CardApproval& approval_;
    ReleaseRecord& record_;
    ErrorState& errors_;
    EventLog& events_;
    std::function<std::optional<std::uint64_t>(std::uint32_t)> regionBytes_;
};

}  // namespace velkor::shared
