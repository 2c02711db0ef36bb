#include "backend/shared/slots/SlotSwitch.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/slots/BootedSlot.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>
#include <utility>

namespace velkor::shared {
namespace {

namespace error = platform::error;

std::size_t IndexOf(const FlashRegionInfo& region) { return static_cast<std::size_t>(region.region); }

}  // namespace

SlotSwitch::SlotSwitch(SlotGroup group, BootEnvironment& environment, std::filesystem::path commandLine,
                       ErrorState& errors, EventLog& events, std::function<void(std::string_view)> debugLine)
    : group_(group),
      environment_(environment),
      commandLine_(std::move(commandLine)),
      errors_(errors),
      events_(events),
      debugLine_(std::move(debugLine)) {}

std::optional<Slot> SlotSwitch::PrepareWrite(const FlashRegionInfo& region, std::span<const FlashRegion> carried) {
    if (groupFailure_ != error::kSuccess) {
        Refuse(fmt::format("{}: no slot is written, the {} row of this update failed", region.name, failedRegion_),
               groupFailure_);
        return std::nullopt;
    }
    if (!update_ && !Begin(carried)) {
        Failed(region);
        return std::nullopt;
    }
    debugLine_(fmt::format("{}: writing slot {}", region.name, SlotLetter(update_->target)));
    return update_->target;
}

bool SlotSwitch::CanStart(std::span<const FlashRegion> carried) { return SafeBootSide(carried).has_value(); }

std::optional<Slot> SlotSwitch::RunningConfirmedCommit() const {
    try {
        const auto [state, booted] = ReadBootSide();
        if (state.Order()[0] == booted && state.TriesLeft(booted) == kBootTries) {
            return booted;
        }
    } catch (const DeviceError&) {
        // A boot side that cannot be read runs nothing known; CanStart says why.
    }
    return std::nullopt;
}

std::optional<std::pair<BootState, Slot>> SlotSwitch::SafeBootSide(std::span<const FlashRegion> carried) {
    try {
        std::pair<BootState, Slot> side = ReadBootSide();
        if (const std::optional<std::string> unsafe = Unsafe(side.first, side.second, carried)) {
            Refuse(*unsafe, error::kInvalidData);
            return std::nullopt;
        }
        return side;
    } catch (const DeviceError& failure) {
        Refuse(failure.what(), error::kInvalidData);
        return std::nullopt;
    }
}

bool SlotSwitch::Begin(std::span<const FlashRegion> carried) {
    const std::optional<std::pair<BootState, Slot>> side = SafeBootSide(carried);
    if (!side) {
        return false;
    }
    update_ = Update{side->second, OtherSlot(side->second), side->first.OrderText(), {}};
    debugLine_(fmt::format("slot {} booted: the update goes into slot {}", SlotLetter(update_->booted),
                           SlotLetter(update_->target)));
    if (!StoreVariables(BootState::DisarmVariables(update_->target))) {
        update_.reset();
        return false;
    }
    return true;
}

std::optional<std::string> SlotSwitch::Unsafe(const BootState& state, Slot booted,
                                              std::span<const FlashRegion> carried) const {
    const char letter = SlotLetter(booted);
    const unsigned tries = state.TriesLeft(booted);
    if (tries == 0) {
        return fmt::format("no slot is written: the running slot {} is on its last try ({}=0), and disarming the "
                           "other slot would leave nothing to boot; restart the device first",
                           letter, BootState::TriesVariable(booted));
    }
    if (tries < kBootTries) {
        return fmt::format("no slot is written: the running slot {} is not confirmed ({}={}, mark-good has not run "
                           "since it booted), and the other slot may be the only good one; run mark-good first",
                           letter, BootState::TriesVariable(booted), tries);
    }
    const Slot target = OtherSlot(booted);
    const bool pendingSwitch = state.Order()[0] == target && state.TriesLeft(target) > 0;
    const auto carries = [&](const FlashRegionInfo* member) {
        return std::find(carried.begin(), carried.end(), member->region) != carried.end();
    };
    const std::vector<const FlashRegionInfo*> members = group_.Members();
    if (pendingSwitch && !std::all_of(members.begin(), members.end(), carries)) {
        return fmt::format("no slot is written: slot {} was switched to and has not booted yet, and a member the "
                           "card does not carry cannot be taken from it while it is written; restart the device "
                           "first, or carry both OS and App",
                           SlotLetter(target));
    }
    return std::nullopt;
}

void SlotSwitch::Written(const FlashRegionInfo& region, bool verified) {
    update_->written[IndexOf(region)] = verified;
    if (!verified) {
        Failed(region);
    }
}

void SlotSwitch::Failed(const FlashRegionInfo& region) {
    if (groupFailure_ == error::kSuccess) {
        groupFailure_ = errors_.Last() != error::kSuccess ? errors_.Last() : error::kInvalidData;
        failedRegion_ = region.name;
    }
}

bool SlotSwitch::Commit(const CopySlot& copy, const BootVariables& alsoStored, bool wholeUpdate) {
    const std::uint32_t groupFailure = std::exchange(groupFailure_, error::kSuccess);
    const std::optional<Update> update = std::exchange(update_, std::nullopt);
    if (groupFailure != error::kSuccess) {
        return Refuse(fmt::format("no slot is switched to: the {} row of this update failed", failedRegion_),
                      groupFailure);
    }
    if (!update) {
        return alsoStored.empty() || StoreVariables(alsoStored);
    }
    if (!wholeUpdate) {
        // A switch without its release would let an older card back in: nothing is switched.
        return Refuse(fmt::format("slot {} is not switched to: a row of this update failed",
                                  SlotLetter(update->target)),
                      error::kInvalidData);
    }
    if (!CopyUnwrittenMembers(*update, copy) || !CheckUnchanged(*update)) {
        return false;
    }
    BootVariables variables = BootState::CommitVariables(update->target);
    variables.insert(variables.end(), alsoStored.begin(), alsoStored.end());
    return StoreVariables(variables);
}

std::pair<BootState, Slot> SlotSwitch::ReadBootSide() const {
    BootState state = environment_.Read();
    const std::optional<Slot> booted = ReadBootedSlot(commandLine_);
    if (!booted) {
        throw DeviceError(fmt::format("which slot booted cannot be told: {} has no {}", commandLine_, kSlotParameter));
    }
    return {state, *booted};
}

bool SlotSwitch::CopyUnwrittenMembers(const Update& update, const CopySlot& copy) {
    for (const FlashRegionInfo* member : group_.Members()) {
        if (update.written[IndexOf(*member)]) {
            continue;
        }
        const bool copied = copy(*member, update.booted, update.target);
        events_.SlotCopy(member->name, SlotLetter(update.booted), SlotLetter(update.target), copied, errors_.Last());
        if (!copied) {
            return Refuse(fmt::format("slot {} is not switched to: the {} region could not be copied into it",
                                      SlotLetter(update.target), member->name),
                          errors_.Last());
        }
    }
    return true;
}

bool SlotSwitch::CheckUnchanged(const Update& update) {
    try {
        const auto [state, booted] = ReadBootSide();
        if (booted != update.booted || state.OrderText() != update.order) {
            return Refuse(fmt::format("slot {} is not switched to: the boot side changed during the update (booted "
                                      "slot {} then {}, {} \"{}\" then \"{}\")",
                                      SlotLetter(update.target), SlotLetter(update.booted), SlotLetter(booted),
                                      BootState::kOrderVariable, update.order, state.OrderText()),
                          error::kInvalidData);
        }
    } catch (const DeviceError& failure) {
        return Refuse(failure.what(), error::kInvalidData);
    }
    return true;
}

bool SlotSwitch::StoreVariables(const BootVariables& variables) {
    try {
        environment_.Store(variables);
    } catch (const DeviceError& failure) {
        events_.EnvironmentStore(BootVariablesText(variables), false, error::kInvalidData);
        return Refuse(failure.what(), error::kInvalidData);
    }
    events_.EnvironmentStore(BootVariablesText(variables), true, error::kSuccess);
    return true;
}

bool SlotSwitch::Refuse(std::string_view why, std::uint32_t code) {
    debugLine_(why);
    return errors_.Fail(code);
}

}  // namespace velkor::shared
