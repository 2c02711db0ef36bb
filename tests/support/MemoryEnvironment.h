#pragma once

#include "backend/shared/slots/BootEnvironment.h"

#include <functional>
#include <string>
#include <vector>

namespace velkor::shared {

// An environment in memory that reads and stores as the real one does, and fails as it does when it
// holds no valid environment.
class MemoryEnvironment : public BootEnvironment {
public:
    EnvironmentValues values;
    std::vector<std::string> stores;
    bool valid = true;
    // Runs before each store, to change the environment behind the updater's back.
    std::function<void()> beforeRead;

    EnvironmentValues Values(std::span<const std::string_view> names) override;
    void Store(const BootVariables& variables) override;
};

}  // namespace velkor::shared
