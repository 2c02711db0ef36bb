#pragma once

#include "backend/sim/DeviceConfig.h"
#include "platform/DeviceTrust.h"
#include "velkor-device/CommandLine.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::device_tool {

// The device a card is made for: the screen and flash regions its images must suit, and the folder
// its storage card appears at. Read from --device DIR as the updater reads a device, from a real
// device's --target FILE (its regions' sizes from their block devices, read only, the screen as
// --screen gives it), or a new device's defaults (with --screen) without either.
class CardDevice {
public:
    // Throws shared::DeviceError when DIR is not a usable device or the updater would find no
    // storage card on it.
    explicit CardDevice(const CardRequest& request);

    const sim::DeviceConfig& Config() const { return config_; }
    // The device's directory or target file; empty for a new device's defaults.
    const std::filesystem::path& Name() const { return name_; }
    // "\StorageCard"
    const std::u16string& CardFolder() const { return cardFolder_; }
    // What the device trusts: no keyring without --device.
    const platform::TrustSettings& Trust() const { return trust_; }
    // The release the device has installed; nothing when its record cannot be read.
    const std::optional<platform::InstalledRelease>& Installed() const { return installed_; }

private:
    // The storage card, trust and installed release of the device opened.
    void TakeDevice(platform::Platform& platform, const std::filesystem::path& name);

    sim::DeviceConfig config_;
    std::filesystem::path name_;
    std::u16string cardFolder_;
    platform::TrustSettings trust_;
    std::optional<platform::InstalledRelease> installed_ = platform::InstalledRelease{};
};

}  // namespace velkor::device_tool
