#pragma once

#include "backend/shared/slots/BootEnvironment.h"
#include "backend/shared/slots/EnvironmentCopy.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace velkor::shared {

// The U-Boot environment in two redundant copies, through libubootenv: configured through its API
// (never a configuration file, never a default environment), a copy shorter than the environment
// refused before the library sees it, its lock made sure of before every session (waited for a
// bounded time), and a store flushed to the medium by Velkor, since the library ignores fsync's result.
class UbootEnvironment : public BootEnvironment {
public:
    // The lock file libubootenv takes around each session; it skips the lock silently when the file
    // cannot be opened, so the environment is not touched then.
    static constexpr std::string_view kLockFile = "/var/lock/fw_printenv.lock";

    // How long a store waits for another program (fw_setenv, say) to let the lock go.
    static constexpr std::chrono::milliseconds kLockWait{10000};
    // libubootenv keeps a copy's offset in an int: a copy that lies further is out of its reach.
    static constexpr std::uint64_t kMaxCopyOffset = 0x7fffffff;

    explicit UbootEnvironment(EnvironmentCopies copies, std::filesystem::path lockFile = std::string(kLockFile),
                              std::chrono::milliseconds lockWait = kLockWait);

    EnvironmentValues Values(std::span<const std::string_view> names) override;
    void Store(const BootVariables& variables) override;

    // Provisioning: writes `variables` as a new environment into both copies. Throws DeviceError when
    // a copy already holds a valid environment, or the store fails.
    void Create(const BootVariables& variables);
    // Whether either copy holds a valid environment.
    bool HoldsValidEnvironment();

    const EnvironmentCopies& Copies() const { return copies_; }

private:
    // "uboot.env and uboot-redund.env", for messages.
    std::string CopiesText() const;

    EnvironmentCopies copies_;
    std::filesystem::path lockFile_;
    std::chrono::milliseconds lockWait_;
};

// Refuses a copy that is not there, holds fewer bytes than its offset and size, or lies beyond
// kMaxCopyOffset, with a message.
void CheckEnvironmentCopy(const EnvironmentCopy& copy);

}  // namespace velkor::shared
