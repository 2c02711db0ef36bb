#pragma once

#include "platform/DeviceTrust.h"

#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

// A device's trust configuration held in memory. Like the backends it answers from what it holds
// at every call, so a test may change the keyring or the record between checks, and it keeps the
// events.log lines it would write. It has no writers: a test sets `mismatchFound` as a writer of the
// device would.
class FakeDeviceTrust : public platform::DeviceTrust {
public:
    platform::TrustSettings settings;
    // Nothing: the keyring file cannot be read.
    std::optional<std::string> keyringPem;
    // Nothing: the record exists but is not one.
    std::optional<platform::InstalledRelease> installed = platform::InstalledRelease{};
    // Every card approved, in order.
    std::vector<platform::ApprovedCard> approved;
    bool mismatchFound = false;
    std::vector<std::string> events;
    // The size of every region; not known unless given.
    std::optional<std::uint64_t> regionBytes;

    platform::TrustSettings Settings() const override { return settings; }
    std::optional<std::string> ReadKeyring() override;
    std::optional<platform::InstalledRelease> ReadInstalled() override;
    void ApproveCard(platform::ApprovedCard card) override;
    bool MismatchFound() const override { return mismatchFound; }
    std::optional<std::uint64_t> RegionBytes(std::uint32_t) override { return regionBytes; }
    void LogCardRefused(std::string_view reason) override;
};

}  // namespace velkor::test
