#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::shared {

// The two slots of a two-slot region. The OS and App slots in use are always the same letter.
enum class Slot { A, B };
inline constexpr std::array<Slot, 2> kSlots{Slot::A, Slot::B};

// How many boots a slot gets before the boot loader passes it over: what a commit and mark-good set.
inline constexpr unsigned kBootTries = 3;

char SlotLetter(Slot slot);
Slot OtherSlot(Slot slot);
// Nothing for anything but "A" or "B".
std::optional<Slot> SlotNamed(std::string_view name);

// Variables of the boot loader's environment, in the order they are set.
using BootVariables = std::vector<std::pair<std::string, std::string>>;

// `BOOT_ORDER="B A" BOOT_B_LEFT=3`, as events.log and the tools print a store.
std::string BootVariablesText(const BootVariables& variables);

// The variables the A/B boot script reads: BOOT_ORDER ("A B" or "B A") and each slot's tries left
// (BOOT_A_LEFT, BOOT_B_LEFT).
class BootState {
public:
    static constexpr std::string_view kOrderVariable = "BOOT_ORDER";
    static constexpr std::array<std::string_view, 3> kVariables{"BOOT_ORDER", "BOOT_A_LEFT", "BOOT_B_LEFT"};

    // From the environment's values of kVariables (a missing one absent from the map). Throws
    // DeviceError naming the variable that is missing, malformed or names a slot that does not exist.
    static BootState Parse(const std::map<std::string, std::string, std::less<>>& values);

    // "BOOT_A_LEFT".
    static std::string TriesVariable(Slot slot);

    // What a new environment holds: slot A first with its tries, slot B never tried.
    static BootVariables InitialVariables();
    // Makes `slot` unbootable before anything is written into it.
    static BootVariables DisarmVariables(Slot slot);
    // Makes `target` the first slot, with its tries reset.
    static BootVariables CommitVariables(Slot target);
    // Gives `slot` its tries again: what mark-good stores for the slot that booted.
    static BootVariables MarkGoodVariables(Slot slot);

    const std::array<Slot, 2>& Order() const { return order_; }
    std::string OrderText() const;
    unsigned TriesLeft(Slot slot) const { return triesLeft_[static_cast<std::size_t>(slot)]; }

    // The boot loader's rule: the first slot of the order with tries left, and the store that takes
    // one try from it; nothing when no slot has tries left.
    std::optional<std::pair<Slot, BootVariables>> ChooseBoot() const;

    bool operator==(const BootState&) const = default;

private:
    std::array<Slot, 2> order_{Slot::A, Slot::B};
    std::array<unsigned, 2> triesLeft_{};
};

}  // namespace velkor::shared
