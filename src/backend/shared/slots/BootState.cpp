#include "backend/shared/slots/BootState.h"

#include "backend/shared/DeviceError.h"

#include <fmt/format.h>

namespace velkor::shared {
namespace {

// The boot script counts tries by a table of single decimal digits (U-Boot's setexpr works in hex),
// so only those are counts both sides read alike.
constexpr char kMaxTriesDigit = '9';

std::string OrderOf(Slot first) { return fmt::format("{} {}", SlotLetter(first), SlotLetter(OtherSlot(first))); }

const std::string& Value(const std::map<std::string, std::string, std::less<>>& values, std::string_view name) {
    const auto found = values.find(name);
    if (found == values.end()) {
        throw DeviceError(fmt::format("the boot environment has no {}", name));
    }
    return found->second;
}

std::array<Slot, 2> ParseOrder(const std::string& text) {
    const std::string_view view(text);
    const std::size_t space = view.find(' ');
    if (space != std::string_view::npos) {
        const std::optional<Slot> first = SlotNamed(view.substr(0, space));
        const std::optional<Slot> second = SlotNamed(view.substr(space + 1));
        if (first && second && *first != *second) {
            return {*first, *second};
        }
    }
    throw DeviceError(fmt::format("the boot environment's {} is \"{}\": it must name the slots that exist, \"A B\" "
                                  "or \"B A\"",
                                  BootState::kOrderVariable, text));
}

unsigned ParseTries(const std::string& text, std::string_view name) {
    if (text.size() != 1 || text[0] < '0' || text[0] > kMaxTriesDigit) {
        throw DeviceError(fmt::format("the boot environment's {} is \"{}\": it must be a number of tries from 0 to {}, "
                                      "one decimal digit",
                                      name, text, kMaxTriesDigit));
    }
    return static_cast<unsigned>(text[0] - '0');
}

}  // namespace

char SlotLetter(Slot slot) { return slot == Slot::A ? 'A' : 'B'; }

Slot OtherSlot(Slot slot) { return slot == Slot::A ? Slot::B : Slot::A; }

std::optional<Slot> SlotNamed(std::string_view name) {
    for (const Slot slot : kSlots) {
        if (name.size() == 1 && name[0] == SlotLetter(slot)) {
            return slot;
        }
    }
    return std::nullopt;
}

std::string BootVariablesText(const BootVariables& variables) {
    std::string text;
    for (const auto& [name, value] : variables) {
        const bool quoted = value.find(' ') != std::string::npos;
        const std::string shown = quoted ? fmt::format("\"{}\"", value) : value;
        text += fmt::format("{}{}={}", text.empty() ? "" : " ", name, shown);
    }
    return text;
}

BootState BootState::Parse(const std::map<std::string, std::string, std::less<>>& values) {
    BootState state;
    state.order_ = ParseOrder(Value(values, kOrderVariable));
    for (const Slot slot : kSlots) {
        const std::string name = TriesVariable(slot);
        state.triesLeft_[static_cast<std::size_t>(slot)] = ParseTries(Value(values, name), name);
    }
    return state;
}

std::string BootState::TriesVariable(Slot slot) { return fmt::format("BOOT_{}_LEFT", SlotLetter(slot)); }

BootVariables BootState::InitialVariables() {
    return {{std::string(kOrderVariable), OrderOf(Slot::A)},
            {TriesVariable(Slot::A), std::to_string(kBootTries)},
            {TriesVariable(Slot::B), "0"}};
}

BootVariables BootState::DisarmVariables(Slot slot) { return {{TriesVariable(slot), "0"}}; }

BootVariables BootState::CommitVariables(Slot target) {
    return {{std::string(kOrderVariable), OrderOf(target)}, {TriesVariable(target), std::to_string(kBootTries)}};
}

BootVariables BootState::MarkGoodVariables(Slot slot) { return {{TriesVariable(slot), std::to_string(kBootTries)}}; }

std::string BootState::OrderText() const { return fmt::format("{} {}", SlotLetter(order_[0]), SlotLetter(order_[1])); }

std::optional<std::pair<Slot, BootVariables>> BootState::ChooseBoot() const {
    for (const Slot slot : order_) {
        if (TriesLeft(slot) > 0) {
            return std::pair(slot, BootVariables{{TriesVariable(slot), std::to_string(TriesLeft(slot) - 1)}});
        }
    }
    return std::nullopt;
}

}  // namespace velkor::shared
