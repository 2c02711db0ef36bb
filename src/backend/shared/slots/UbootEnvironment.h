#pragma once

#include "backend/shared/slots/BootEnvironment.h"
#include "backend/shared/slots/EnvironmentCopy.h"

#include <filesystem>
#include <string_view>

namespace velkor::shared {

// The U-Boot environment in two redundant copies, through libubootenv: configured through its API
// (never a configuration file, never a default environment), a copy shorter than the environment
// refused before the library sees it, and its lock made sure of before every session.
class UbootEnvironment : public BootEnvironment {
public:
    // The lock file libubootenv takes around each session; it skips the lock silently when the file
    // cannot be opened, so the environment is not touched then.
    static constexpr std::string_view kLockFile = "/var/lock/fw_printenv.lock";

    explicit UbootEnvironment(EnvironmentCopies copies);

    EnvironmentValues Values(std::span<const std::string_view> names) override;
    void Store(const BootVariables& variables) override;

    // Provisioning: writes `variables` as a new environment into both copies. Throws DeviceError when
    // a copy already holds a valid environment, or the store fails.
    void Create(const BootVariables& variables);

    const EnvironmentCopies& Copies() const { return copies_; }

private:
    // "uboot.env and uboot-redund.env", for messages.
    std::string CopiesText() const;

    EnvironmentCopies copies_;
};

// Refuses a copy that is not there or holds fewer bytes than its offset and size, with a message.
void CheckEnvironmentCopy(const EnvironmentCopy& copy);

}  // namespace velkor::shared
