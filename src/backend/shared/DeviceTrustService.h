#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/InstalledRecordFile.h"
#include "backend/shared/TrustConfig.h"
#include "platform/DeviceTrust.h"

#include <optional>

namespace velkor::shared {

// The device's trust configuration and installed release, from files on the host that its backend
// names. The keyring is read afresh for every check, so a newer keyring counts as soon as it is in
// place.
class DeviceTrustService : public platform::DeviceTrust {
public:
    // Nothing for a device without a keyring.
    DeviceTrustService(std::optional<TrustConfig> config, ErrorState& errors, EventLog& events);

    platform::TrustSettings Settings() const override;
    std::optional<std::string> ReadKeyring() override;
    std::optional<platform::InstalledRelease> ReadInstalled() override;
    bool RecordInstalled(const platform::InstalledRelease& release) override;
    void LogCardRefused(std::string_view reason) override;

private:
    std::optional<TrustConfig> config_;
    std::optional<InstalledRecordFile> record_;
    ErrorState& errors_;
    EventLog& events_;
};

}  // namespace velkor::shared
