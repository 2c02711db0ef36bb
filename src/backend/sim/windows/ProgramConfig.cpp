#include "backend/sim/windows/ProgramConfig.h"

#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::sim {

std::string_view CommandEffectText(CommandEffect effect) {
    const auto known = std::find_if(kCommandEffectNames.begin(), kCommandEffectNames.end(),
                                    [&](const CommandEffectName& candidate) { return candidate.effect == effect; });
    return known != kCommandEffectNames.end() ? known->name : "?";
}

bool Selects(const ProgramSelector& selector, const ProgramConfig& program) {
    if (const auto* processId = std::get_if<std::uint32_t>(&selector)) {
        return *processId == program.processId;
    }
    return platform::EqualsIgnoreCase(std::get<std::u16string>(selector), program.executable);
}

}  // namespace velkor::sim
