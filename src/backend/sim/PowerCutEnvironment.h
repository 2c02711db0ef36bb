#pragma once

#include "backend/shared/slots/BootEnvironment.h"
#include "backend/shared/slots/EnvironmentCopy.h"
#include "backend/sim/PowerCut.h"

namespace velkor::sim {

// The boot environment with the power-cut switch: a store whose write does not fit before the cut
// leaves its copy with the new bytes up to the cut and the old bytes after it, at the copy's full
// length, and the power goes.
class PowerCutEnvironment : public shared::BootEnvironment {
public:
    PowerCutEnvironment(shared::BootEnvironment& environment, shared::EnvironmentCopies copies, PowerCut& powerCut);

    shared::EnvironmentValues Values(std::span<const std::string_view> names) override {
        return environment_.Values(names);
    }
    void Store(const shared::BootVariables& variables) override;

private:
    shared::BootEnvironment& environment_;
    shared::EnvironmentCopies copies_;
    PowerCut& powerCut_;
};

}  // namespace velkor::sim
