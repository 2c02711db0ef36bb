#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::platform {

// The most a keyring file may hold.
inline constexpr std::uint64_t kMaxKeyringBytes = 1024 * 1024;

// Whether the certificates that sign a card must be valid at the device's clock.
enum class ValidityRule {
    // Checked against the device's clock; a clock earlier than the program's build is taken as
    // not set, and every card is refused until it is.
    DeviceClock,
    // Never checked: for devices without a real-time clock, and devices kept in storage for
    // longer than a signing certificate lives.
    NotChecked,
};

// What the device trusts. Without a keyring it takes any card, as it always has.
struct TrustSettings {
    bool hasKeyring = false;
    // The device family; a trusted card must name the same one.
    std::string compatible;
    ValidityRule validity = ValidityRule::DeviceClock;
};

// The release that a trusted card installed: its version, and the SHA-256 of its manifest in
// lowercase hexadecimal. Version 0 and no digest when no trusted card has updated the device.
struct InstalledRelease {
    std::uint64_t version = 0;
    std::string manifestSha256;

    bool operator==(const InstalledRelease&) const = default;
};

// The device's trust configuration and its record of the installed release, which each backend
// keeps in its own configuration. Failures set the platform's last-error code.
class DeviceTrust {
public:
    virtual ~DeviceTrust() = default;

    virtual TrustSettings Settings() const = 0;
    // The keyring's PEM text: trusted CA certificates, and any CRLs. Nothing when it cannot be read
    // or is larger than kMaxKeyringBytes.
    virtual std::optional<std::string> ReadKeyring() = 0;
    // Nothing when a record exists but cannot be read.
    virtual std::optional<InstalledRelease> ReadInstalled() = 0;
    // Replaces the record in one step: a power cut leaves the old record or the new one.
    virtual bool RecordInstalled(const InstalledRelease& release) = 0;
    // The events.log line of a card that was refused, with the reason's short name.
    virtual void LogCardRefused(std::string_view reason) = 0;
};

}  // namespace velkor::platform
