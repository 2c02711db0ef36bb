#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/InstalledRecordFile.h"
#include "backend/shared/slots/BootEnvironment.h"
#include "backend/shared/slots/SlotGroup.h"
#include "platform/DeviceTrust.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace velkor::shared {

// Where a device keeps the release that a trusted card installed, and the commit point that records
// it; never on a volume an update formats. On a device with two-slot regions it is two variables of
// the boot environment, stored in the very store that switches the slots, so that the switch and the
// release change together or not at all. On a device without them it is a file replaced whole
// (InstalledRecordFile), raised to the card's release before the update's first in-place byte
// ("installing", so that a failed or cut run can be repeated with the same card but never followed by
// an older one) and written again once the commit point is reached ("installed").
class ReleaseRecord {
public:
    static constexpr std::string_view kVersionVariable = "VELKOR_VERSION";
    static constexpr std::string_view kManifestVariable = "VELKOR_MANIFEST_SHA256";

    // Commits the slot switch, storing `alsoStored` in the same store (SlotSwitch::Commit).
    using CommitSlots = std::function<bool(const BootVariables& alsoStored, bool wholeUpdate)>;

    // `group`: the device's two-slot regions, whose `environment` holds the record when there are
    // any. `file`: the record otherwise; empty for a device that keeps none (no keyring).
    ReleaseRecord(const SlotGroup& group, BootEnvironment& environment, std::filesystem::path file,
                  CardApproval& approval, ErrorState& errors, EventLog& events,
                  std::function<void(std::string_view)> debugLine);

    // Version 0 and no digest when nothing is recorded. Nothing, with `error` set, when the record
    // cannot be read or is not one.
    std::optional<platform::InstalledRelease> Read(std::uint32_t& error);
    // The commit point. With `wholeUpdate` (every chosen row succeeded) the approved card's release
    // is recorded: in the slots' store, or in the file once the slots are committed. The approval
    // ends here. False, with the last error set, when the commit or the record failed.
    bool Commit(bool wholeUpdate, const CommitSlots& commitSlots);

    // The environment's variables for `release`.
    static BootVariables Variables(const platform::InstalledRelease& release);

private:
    bool InEnvironment() const { return !group_.Empty(); }
    std::optional<platform::InstalledRelease> ReadEnvironment(std::uint32_t& error);
    bool WriteFile(const platform::InstalledRelease& release);
    // The one-slot record raised before the first in-place write (CardApproval::BeforeInPlaceWrite).
    bool RaiseBeforeInPlaceWrite(const platform::InstalledRelease& release);

    const SlotGroup& group_;
    BootEnvironment& environment_;
    std::optional<InstalledRecordFile> file_;
    CardApproval& approval_;
    ErrorState& errors_;
    EventLog& events_;
    std::function<void(std::string_view)> debugLine_;
};

}  // namespace velkor::shared
