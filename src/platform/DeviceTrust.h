#pragma once

#include "platform/ChunkTags.h"
#include "platform/File.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// An image of a checked card as its manifest lists it.
struct ExpectedImage {
    // "\StorageCard\AutoUpdate\NK.bin"; matched without regard to letter case.
    std::u16string devicePath;
    std::uint64_t size = 0;
    Sha256Digest sha256{};
    // The file the check read there: a write holds it to this file alone.
    FileIdentity identity;
    // The tags of its chunks as the check read them, which the bytes streamed from it are held to.
    ChunkTags chunks;

    bool operator==(const ExpectedImage&) const = default;
};

// An image row of a run: its flash control code and the card file it writes.
struct PlannedWrite {
    std::uint32_t controlCode = 0;
    std::u16string devicePath;

    bool operator==(const PlannedWrite&) const = default;
};

// What the card check vouched for, handed to the device before an update runs: the writers hold
// the bytes they write to it, and the commit point records the release.
struct ApprovedCard {
    // Every image the card's manifest lists; none for a card without a manifest.
    std::vector<ExpectedImage> images;
    // What the card installs once a whole update from it is committed; nothing for a card whose
    // manifest is not signed.
    std::optional<InstalledRelease> release;
    // The image rows the run will carry out, manifest or not: what a device with two-slot regions
    // needs to know before it writes the first slot.
    std::vector<PlannedWrite> writes = {};

    bool operator==(const ApprovedCard&) const = default;
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
    // Before an update's first effect, after the card was checked; it stands until the next call or
    // the commit point (DeviceIo::CommitUpdate), which records its release. Until then the flash
    // driver and the file copies hash every listed image's bytes as they stream them from the card
    // and as they read them back, and fail a write whose bytes differ (kCrc). With a keyring, a
    // region written in place is written from a private copy whose hash was checked first.
    virtual void ApproveCard(ApprovedCard card) = 0;
    // Whether a write since ApproveCard found a listed image's bytes other than the card lists
    // (streamed from the card, or read back): the rest of the update must not run.
    virtual bool MismatchFound() const = 0;
    // The most bytes the flash driver's image code `controlCode` can write: its region's size, one
    // slot's for a two-slot region. Nothing when the device cannot tell.
    virtual std::optional<std::uint64_t> RegionBytes(std::uint32_t controlCode) = 0;
    // The events.log line of a card that was refused, with the reason's short name.
    virtual void LogCardRefused(std::string_view reason) = 0;
};

}  // namespace velkor::platform
