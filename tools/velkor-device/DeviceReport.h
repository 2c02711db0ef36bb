#pragma once

#include "platform/Platform.h"
#include "backend/sim/SimPlatform.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace velkor::device_tool {

// A device at a glance, as the updater would see it. Reading the device changes nothing in it.
// Each part is one Print... method, listed in Print().
class DeviceReport {
public:
    // Throws shared::DeviceError when the directory is not a usable device.
    explicit DeviceReport(std::filesystem::path directory);

    void Print(std::ostream& out);

private:
    void PrintDirectory(std::ostream& out);
    void PrintScreen(std::ostream& out);
    void PrintLanguage(std::ostream& out);
    void PrintStorageProfiles(std::ostream& out);
    void PrintStores(std::ostream& out);
    void PrintStorageCard(std::ostream& out);
    void PrintAutoUpdate(std::ostream& out);
    void PrintSettingsFile(std::ostream& out);
    void PrintFlashRegions(std::ostream& out);
    void PrintRegionSizes(std::ostream& out);
    void PrintTrust(std::ostream& out);
    void PrintPrograms(std::ostream& out);
    void PrintRecentEvents(std::ostream& out);

    std::filesystem::path directory_;
    sim::SimPlatform device_;
    platform::Platform& platform_;
    std::u16string storageCard_;
};

}  // namespace velkor::device_tool
