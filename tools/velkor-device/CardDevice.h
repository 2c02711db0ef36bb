#pragma once

#include "backend/sim/DeviceConfig.h"
#include "velkor-device/CommandLine.h"

#include <string>

namespace velkor::device_tool {

// The device a card is made for: the screen and flash regions its images must suit, and the folder
// its storage card appears at. Read from --device DIR as the updater reads a device, or a new
// device's defaults (with --screen) without it.
class CardDevice {
public:
    // Throws shared::DeviceError when DIR is not a usable device or the updater would find no
    // storage card on it.
    explicit CardDevice(const CardRequest& request);

    const sim::DeviceConfig& Config() const { return config_; }
    // "\StorageCard"
    const std::u16string& CardFolder() const { return cardFolder_; }

private:
    sim::DeviceConfig config_;
    std::u16string cardFolder_;
};

}  // namespace velkor::device_tool
