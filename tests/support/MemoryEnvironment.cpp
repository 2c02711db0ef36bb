#include "support/MemoryEnvironment.h"

#include "backend/shared/DeviceError.h"

namespace velkor::shared {

EnvironmentValues MemoryEnvironment::Values(std::span<const std::string_view> names) {
    if (beforeRead) {
        beforeRead();
    }
    if (!valid) {
        throw DeviceError("neither copy holds a valid environment");
    }
    EnvironmentValues asked;
    for (const std::string_view name : names) {
        if (const auto value = values.find(name); value != values.end()) {
            asked.emplace(*value);
        }
    }
    return asked;
}

void MemoryEnvironment::Store(const BootVariables& variables) {
    Read();
    for (const auto& [name, value] : variables) {
        values[name] = value;
    }
    stores.push_back(BootVariablesText(variables));
}

}  // namespace velkor::shared
