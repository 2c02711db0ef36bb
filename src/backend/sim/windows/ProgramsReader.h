#pragma once

#include "backend/shared/ConfigReader.h"
#include "backend/sim/windows/ProgramConfig.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <vector>

namespace velkor::sim {

// device.json's "programs": none when the field is absent. Complaints name the field at fault,
// as in "programs[1].windows[0].visible".
std::vector<ProgramConfig> ReadPrograms(const shared::ConfigReader& reader, const nlohmann::json& document);

// One item of a list that names programs: a nonzero 32-bit process id or an executable path;
// nothing for any other value.
std::optional<ProgramSelector> ReadProgramSelector(const nlohmann::json& item);

}  // namespace velkor::sim
