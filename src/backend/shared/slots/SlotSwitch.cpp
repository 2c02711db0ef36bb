#include "backend/shared/slots/SlotSwitch.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/slots/BootedSlot.h"

#include <fmt/format.h>
#include <fmt/std.h>

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

std::optional<Slot> SlotSwitch::PrepareWrite(const FlashRegionInfo& region) {
    if (!update_) {
        try {
            const auto [state, booted] = ReadBootSide();
            update_ = Update{booted, OtherSlot(booted), state.OrderText(), {}};
        } catch (const DeviceError& failure) {
            Refuse(failure.what(), error::kInvalidData);
            return std::nullopt;
        }
        debugLine_(fmt::format("slot {} booted: the update goes into slot {}", SlotLetter(update_->booted),
                               SlotLetter(update_->target)));
        if (!StoreVariables(BootState::DisarmVariables(update_->target))) {
            update_.reset();
            return std::nullopt;
        }
    }
    debugLine_(fmt::format("{}: writing slot {}", region.name, SlotLetter(update_->target)));
    return update_->target;
}

void SlotSwitch::Written(const FlashRegionInfo& region, bool verified) {
    update_->written[IndexOf(region)] = verified;
    if (!verified && update_->failure == error::kSuccess) {
        update_->failure = errors_.Last();
    }
}

bool SlotSwitch::Commit(const CopySlot& copy, const BootVariables& alsoStored) {
    if (!update_) {
        return alsoStored.empty() || StoreVariables(alsoStored);
    }
    const Update update = *update_;
    update_.reset();
    const char target = SlotLetter(update.target);
    if (update.failure != error::kSuccess) {
        return Refuse(fmt::format("slot {} is not switched to: a row written into it failed", target), update.failure);
    }
    if (!CopyUnwrittenMembers(update, copy) || !CheckUnchanged(update)) {
        return false;
    }
    BootVariables variables = BootState::CommitVariables(update.target);
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
