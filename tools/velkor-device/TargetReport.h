#pragma once

#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/slots/BootState.h"

#include "backend/board/TargetConfig.h"
#include "backend/board/flash/DeviceUse.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::device_tool {

// What a target file reaches on this machine, part by part, and what would make it wrong or unsafe
// to run on: a missing folder or device, a region or partition whose bytes another user has (a
// mount, the running system's root, device-mapper or md, swap, a loop device over a file, itself
// or through an alias), a partition without a FAT volume, a program or command that is not there. Looking changes
// nothing: devices are only opened for reading.
class TargetReport {
public:
    // Throws shared::DeviceError when the target file cannot be read.
    explicit TargetReport(std::filesystem::path file);

    void Print(std::ostream& out);
    // Each problem found by Print(), led by the field at fault.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    void PrintRegistry(std::ostream& out);
    void PrintFolders(std::ostream& out);
    void PrintFlashRegions(std::ostream& out);
    // A two-slot region's slots; the booted one may hold the running system.
    void PrintSlots(std::ostream& out, const shared::FlashRegionInfo& region, std::optional<shared::Slot> booted);
    // The environment's copies and variables, the booted slot, and what the layout checks refuse.
    std::optional<shared::Slot> PrintBootSide(std::ostream& out);
    void PrintStores(std::ostream& out);
    void PrintPrograms(std::ostream& out);
    void PrintCommands(std::ostream& out);
    // The trust configuration, read as the device reads it: a keyring or record it cannot read is a
    // problem.
    void PrintTrust(std::ostream& out);

    // A region's or partition's device at a glance; what makes it unsuitable is a problem of `field`.
    std::string DescribeDevice(const std::filesystem::path& path, std::string_view field);
    // Another user of the device's bytes, itself or through an alias, is a problem of `field`; a
    // partition's mounts of its own (`own` Ignore) are not: its volume is mounted while the device runs.
    void CheckUse(const std::filesystem::path& path, std::string_view field, board::OwnMounts own);
    std::string DescribeVolume(const std::filesystem::path& device, std::string_view field);
    void Problem(std::string_view field, std::string_view text);

    std::filesystem::path file_;
    board::TargetConfig config_;
    std::optional<board::HostView> host_;
    std::vector<std::string> problems_;
};

}  // namespace velkor::device_tool
