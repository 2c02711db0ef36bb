#pragma once

#include "backend/shared/TrustConfig.h"
#include "backend/shared/slots/EnvironmentCopy.h"
#include "backend/shared/slots/SlotGroup.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::board {

// A top-level folder of the device and the host folder it is: "StorageCard" -> /media/sdcard.
struct FolderMapping {
    std::u16string name;
    std::filesystem::path host;
};

// A partition the storage manager reports: its block device, and the host folder its volume is
// mounted on. `volume` is the device folder that host folder is ("\VKRFlash").
struct PartitionTarget {
    std::u16string name;    // "Part00"
    std::u16string volume;  // "\VKRFlash"
    std::filesystem::path device;
    std::filesystem::path mountPoint;
};

struct StoreTarget {
    std::u16string deviceName;  // "DSK2:"
    std::u16string profile;     // "BinFLASH"
    std::vector<PartitionTarget> partitions;
};

// A sibling program: the device path the updater knows it by, and the host executable it is.
struct ProgramMapping {
    std::u16string devicePath;  // "\Windows\Tirnow.exe"
    std::filesystem::path executable;
};

// A command as an argument list; arguments may hold the placeholders {device} and {mountPoint}.
using CommandLine = std::vector<std::string>;

struct TargetCommands {
    CommandLine mount{"mount", "-t", "vfat", "{device}", "{mountPoint}"};
    CommandLine unmount{"umount", "{mountPoint}"};
    CommandLine restart{"systemctl", "reboot"};
    // Empty: the hot key's core service does nothing but its events.log line.
    CommandLine coreService;
};

// The flash regions in the order of the flash driver's region table (boot, logo, os, app): each a
// block device or a regular file.
using FlashRegionTargets = std::array<std::filesystem::path, 4>;

// The boot loader's side of two-slot regions.
struct BootSideTarget {
    // The environment's two copies, where the boot loader was built to keep them.
    shared::EnvironmentCopies environment;
    // The kernel command line, on which the boot script names the booted slot.
    std::filesystem::path commandLine = "/proc/cmdline";
};

// What a target file says about a real device. Relative host paths are read from the target
// file's folder.
struct TargetConfig {
    std::filesystem::path registry;
    std::optional<std::uint16_t> languageId;
    std::vector<FolderMapping> folders;
    // For a two-slot region, its slot A.
    FlashRegionTargets flashRegions;
    // For a two-slot region, its slot B; empty for the others.
    FlashRegionTargets secondSlots;
    shared::SlotGroup slotGroup;
    // Read only when slotGroup has members.
    BootSideTarget bootSide;
    std::vector<StoreTarget> stores;
    std::vector<ProgramMapping> programs;
    TargetCommands commands;
    // Where events.log goes.
    std::filesystem::path logFolder;
    // A file that gets the debug output besides stderr; none when empty.
    std::filesystem::path debugLog;
    // What the device trusts; none for a device that takes any card.
    std::optional<shared::TrustConfig> trust;
};

}  // namespace velkor::board
