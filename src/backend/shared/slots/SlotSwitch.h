#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/slots/BootEnvironment.h"
#include "backend/shared/slots/SlotGroup.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velkor::shared {

// The two-slot side of a flash driver, the same on every backend. An update writes each grouped
// region into the slot that did not boot, after one environment store has taken that slot's tries
// away; at its end (the commit point) the members it did not write are copied from the booted slot,
// the environment is read again, and one store makes the written slot the first to boot. Until
// then the boot loader never picks a slot that is being written.
//
// A generation is never mixed and the confirmed fallback is never lost: an update starts only from
// a booted slot that mark-good confirmed (its tries full), never while a committed switch waits for
// its reboot unless the card carries every member, and once any grouped row failed no later row
// writes the other slot and the commit point switches nothing.
class SlotSwitch {
public:
    // Copies a region's slot `from` into its slot `to` and verifies it; false with the last error set.
    using CopySlot = std::function<bool(const FlashRegionInfo& region, Slot from, Slot to)>;

    // `commandLine` is the kernel command line (or the simulator's record of it) that names the
    // booted slot. `debugLine` writes a line of the platform's debug output.
    SlotSwitch(SlotGroup group, BootEnvironment& environment, std::filesystem::path commandLine, ErrorState& errors,
               EventLog& events, std::function<void(std::string_view)> debugLine);

    const SlotGroup& Group() const { return group_; }

    // Before an update's first effect: false, with the last error set and a debug line, when an
    // update that writes the regions `carried` could not start from this boot side (what
    // PrepareWrite would refuse).
    bool CanStart(std::span<const FlashRegion> carried);
    // The booted slot when it holds the generation committed to (first in BOOT_ORDER) and mark-good
    // confirmed it (its tries full); nothing otherwise, or when the boot side cannot be read.
    std::optional<Slot> RunningConfirmedCommit() const;

    // Before the first byte of a grouped region: the slot it is written into. `carried` are the
    // regions the update's rows write. The first call of an update reads the environment and the
    // booted slot, refuses what cannot be made safe, and disarms the other slot. Nothing, with the
    // last error and a debug line saying why, when that cannot be done or a grouped row failed.
    std::optional<Slot> PrepareWrite(const FlashRegionInfo& region, std::span<const FlashRegion> carried);
    // Whether the region's image went into its slot and read back equal.
    void Written(const FlashRegionInfo& region, bool verified);
    // A row of a grouped region failed wherever it failed (before its slot was prepared, too): the
    // other slot is written no more, and the commit point switches nothing.
    void Failed(const FlashRegionInfo& region);
    // The commit point, once every row of the update has run: `alsoStored` (the installed release)
    // goes into the same store as the switch, or into a store of its own when the update wrote no
    // grouped region. True when there was nothing to store, or the store is made. False, with the
    // last error set and a debug line, when a row failed (`wholeUpdate` false: a failed row after the
    // group was written switches nothing either, so a switch never goes without its release), a
    // grouped row failed, a copy failed, the environment or the booted slot changed since the update
    // began, or the store failed; the slot that booted then stays the one that boots, and
    // `alsoStored` is not stored either.
    bool Commit(const CopySlot& copy, const BootVariables& alsoStored, bool wholeUpdate);

private:
    struct Update {
        Slot booted;
        Slot target;
        std::string order;
        std::array<std::optional<bool>, kFlashRegions.size()> written;
    };

    // The environment and the booted slot; throws DeviceError.
    std::pair<BootState, Slot> ReadBootSide() const;
    // The boot side when an update carrying `carried` can be made safe from it; nothing, with the
    // last error set and a debug line, when not.
    std::optional<std::pair<BootState, Slot>> SafeBootSide(std::span<const FlashRegion> carried);
    // Reads the boot side and disarms the target; false, with the last error set, when refused.
    bool Begin(std::span<const FlashRegion> carried);
    // Why an update from this boot side cannot be made safe; nothing when it can.
    std::optional<std::string> Unsafe(const BootState& state, Slot booted, std::span<const FlashRegion> carried) const;
    bool CopyUnwrittenMembers(const Update& update, const CopySlot& copy);
    bool CheckUnchanged(const Update& update);
    bool StoreVariables(const BootVariables& variables);
    bool Refuse(std::string_view why, std::uint32_t code);

    SlotGroup group_;
    BootEnvironment& environment_;
    std::filesystem::path commandLine_;
    ErrorState& errors_;
    EventLog& events_;
    std::function<void(std::string_view)> debugLine_;
    std::optional<Update> update_;
    // The first grouped row's failure since the last commit point; it outlives a refused start.
    std::uint32_t groupFailure_ = platform::error::kSuccess;
    std::string failedRegion_;
};

}  // namespace velkor::shared
