#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/FlashExecutor.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/flash/ImageToWrite.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "backend/sim/PowerCut.h"
#include "backend/sim/flash/RegionProgrammer.h"
#include "platform/FileSystem.h"
#include "backend/sim/DeviceConfig.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace velkor::sim {

// Carries out the flash driver's control codes: each image code writes an image file of the
// device's file system into its region in DIR/flash, held to what the approved card lists for it,
// and the reset does nothing beyond being asked for. The fault switches of device.json apply.
class FlashDriver : public shared::FlashExecutor {
public:
    // `slotSwitch` carries the two-slot regions' side of an update; `powerCut` sees every write;
    // `approval` is the card the last check approved; `debugLine` writes a line of debug output.
    FlashDriver(platform::FileSystem& fileSystem, const DeviceConfig& config, std::filesystem::path flashDir,
                shared::SlotSwitch& slotSwitch, PowerCut& powerCut, shared::CardApproval& approval,
                std::function<void(std::string_view)> debugLine, shared::ErrorState& errors);

    // False, with the last error set, when the request was not carried out: what
    // FlashRequest::Check answers (a refused code as one the driver does not take), or why the
    // image could not be programmed.
    bool Execute(const shared::FlashRequest& request) override;
    // A row of the region `controlCode` writes failed: SlotSwitch::Failed for a grouped one.
    void ImageFailed(std::uint32_t controlCode);
    // Before an update's first effect (shared::UpdateStartCheck), `record` holding the installed release.
    platform::UpdateStart StartUpdate(bool unattended, shared::ReleaseRecord& record);
    // The commit point: SlotSwitch::Commit, copying a slot file into the other, with `alsoStored`
    // in the same store.
    bool CommitUpdate(const shared::BootVariables& alsoStored, bool wholeUpdate);

private:
    bool IsRefused(std::uint32_t code) const;
    bool IsTooSmall(shared::FlashRegion region) const;
    bool WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path);
    bool WriteInPlace(const shared::FlashRegionInfo& region, shared::ImageToWrite& image);
    // Into the slot the switch names, which an image larger than a slot never disarms.
    bool WriteIntoSlot(const shared::FlashRegionInfo& region, shared::ImageToWrite& image);
    bool CopySlot(const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to);
    std::filesystem::path SlotPath(const shared::FlashRegionInfo& region, shared::Slot slot) const;
    RegionProgrammer Programmer(const shared::FlashRegionInfo& region, const std::string& fileName);

    platform::FileSystem& fileSystem_;
    const DeviceConfig& config_;
    std::filesystem::path flashDir_;
    shared::SlotSwitch& slots_;
    PowerCut& powerCut_;
    shared::CardApproval& approval_;
    std::function<void(std::string_view)> debugLine_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::sim
