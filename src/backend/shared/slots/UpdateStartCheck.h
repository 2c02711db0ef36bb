#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "platform/DeviceIo.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace velkor::shared {

// A device's answer before an update's first effect (DeviceIo::StartUpdate), the same on every
// backend. An update that writes a two-slot region starts only when the slot switch can make it
// safe, so that a refusal changes nothing, the data volume included. An unattended update whose
// card installs the generation the booted slot holds, confirmed, writes nothing: a card left in
// would otherwise write the other slot, the fallback, again at every boot. The card's release is
// the running one when the environment records the card's signed manifest, or, for a card without
// a signed manifest, when every grouped image it carries is the booted slot's first bytes. A
// device without two-slot regions, and an update that writes none, start as they always did.
class UpdateStartCheck {
public:
    // The file or block device that holds a region's slot.
    using SlotPath = std::function<std::filesystem::path(const FlashRegionInfo& region, Slot slot)>;

    UpdateStartCheck(SlotSwitch& slots, ReleaseRecord& record, const CardApproval& approval,
                     platform::FileSystem& fileSystem, SlotPath slotPath, ErrorState& errors,
                     std::function<void(std::string_view)> debugLine);

    platform::UpdateStart Check(bool unattended);

private:
    bool CardRunsIn(Slot booted);
    bool RecordedManifestIs(const platform::InstalledRelease& release);
    bool ImagesEqualSlot(Slot booted);
    // Whether the slot's first bytes are the card file's.
    bool SlotStartsWith(const std::filesystem::path& slot, std::u16string_view cardPath);

    SlotSwitch& slots_;
    ReleaseRecord& record_;
    const CardApproval& approval_;
    platform::FileSystem& fileSystem_;
    SlotPath slotPath_;
    ErrorState& errors_;
    std::function<void(std::string_view)> debugLine_;
};

}  // namespace velkor::shared
