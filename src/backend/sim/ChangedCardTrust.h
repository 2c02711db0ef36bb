#pragma once

#include "platform/DeviceTrust.h"
#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace velkor::sim {

// The device's trust with the cardImagesChangedAfterCheck switch: once a check has approved a card,
// each device file the switch names gets its last byte inverted (an empty one gets a byte), as a
// card changed between the check and the write would be. Everything else passes through.
class ChangedCardTrust : public platform::DeviceTrust {
public:
    ChangedCardTrust(platform::DeviceTrust& trust, platform::FileSystem& fileSystem,
                     std::vector<std::u16string> changedFiles);

    platform::TrustSettings Settings() const override { return trust_.Settings(); }
    std::optional<std::string> ReadKeyring() override { return trust_.ReadKeyring(); }
    std::optional<platform::InstalledRelease> ReadInstalled() override { return trust_.ReadInstalled(); }
    void ApproveCard(platform::ApprovedCard card) override;
    bool MismatchFound() const override { return trust_.MismatchFound(); }
    std::optional<std::uint64_t> RegionBytes(std::uint32_t controlCode) override {
        return trust_.RegionBytes(controlCode);
    }
    void LogCardRefused(std::string_view reason) override { trust_.LogCardRefused(reason); }

private:
    void Change(std::u16string_view path);

    platform::DeviceTrust& trust_;
    platform::FileSystem& fileSystem_;
    std::vector<std::u16string> changedFiles_;
};

}  // namespace velkor::sim
