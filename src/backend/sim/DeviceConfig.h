#pragma once

#include "backend/shared/FileRules.h"
#include "backend/shared/TrustFields.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/slots/SlotGroup.h"
#include "platform/System.h"
#include "backend/sim/flash/FlashRegionSizes.h"
#include "backend/sim/storage/StorageFaults.h"
#include "backend/sim/storage/StoreConfig.h"
#include "backend/sim/windows/ProgramConfig.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

inline constexpr int kMaxScreenSide = 8192;
// A usual U-Boot environment size.
inline constexpr std::uint64_t kDefaultEnvironmentBytes = 0x4000;

enum class FlashDeviceAbsence {
    None,
    Primary,  // the BinFLASH profile's device; the fallback name still opens
    Both,
};

// Switches in device.json that make platform failures reproducible.
struct FaultSwitches {
    // Device folders ("\StorageCard") in which nothing can be created, changed, deleted or moved.
    std::vector<std::u16string> writeProtected;
    // Writes that would make a file longer than this many bytes fail as on a full disk.
    std::optional<std::uint64_t> fileSizeLimit;
    // Device files that do not open, in any mode.
    std::vector<std::u16string> openFails;
    // Device files (card images) whose last byte is inverted once the card check has approved the
    // card, as if the card changed between the check and the write.
    std::vector<std::u16string> cardImagesChangedAfterCheck;
    // Moving (renaming) a file fails.
    bool moveFails = false;
    // Which of the flash device's two names do not open.
    FlashDeviceAbsence flashDeviceAbsent = FlashDeviceAbsence::None;
    // Control codes the flash driver refuses as unsupported.
    std::vector<std::uint32_t> flashRefusedCodes;
    // Regions too small for any image.
    std::vector<shared::FlashRegion> flashRegionTooSmall;
    // The flash driver's read-back differs from what it wrote.
    bool flashReadBackDiffers = false;
    // The power goes once the flash writes, the second logo's copy and the boot environment's
    // writes have put this many bytes on the device.
    std::optional<std::uint64_t> powerCutAfterBytes;
    // A restart request is logged but fails, so the updater stays open.
    bool restartFails = false;
    // Programs whose termination fails; they keep running.
    std::vector<ProgramSelector> terminateFails;
    // Programs whose process does not open.
    std::vector<ProgramSelector> processOpenFails;
    // Registry keys (paths below HKEY_LOCAL_MACHINE) that do not open.
    std::vector<std::u16string> registryOpenFails;
    StorageFaults storage;
};

// device.json's "fileAttributes": the hidden and system bits of device paths.
using FileAttributeMap = shared::FileAttributeMap;

// What device.json says about the device.
struct DeviceConfig {
    platform::ScreenSize screen{800, 480};
    std::uint16_t languageId = 0x0409;
    // For a two-slot region, the size of each slot.
    FlashRegionSizes flashRegions;
    shared::SlotGroup slotGroup;
    // The size of the boot environment in each of its two files.
    std::uint64_t environmentBytes = kDefaultEnvironmentBytes;
    // The programs running beside the updater.
    std::vector<ProgramConfig> programs;
    std::vector<StoreConfig> stores;
    FileAttributeMap fileAttributes;
    // What the device trusts; none for a device that takes any card. Its keyring is a file of the
    // device directory.
    std::optional<shared::TrustFields> trust;
    FaultSwitches faults;
};

// The file system's rules: "fileAttributes" and the write-protected folders.
shared::FileRules FileRulesOf(const DeviceConfig& config);

// Reads device.json's text; fields it does not know are ignored. Throws shared::DeviceError naming
// `sourceName` and the field at fault.
DeviceConfig ParseDeviceConfig(std::string_view jsonText, std::string_view sourceName);

// Throws shared::DeviceError unless both sides are from 1 to kMaxScreenSide.
void CheckScreenSize(platform::ScreenSize screen);


}  // namespace velkor::sim
