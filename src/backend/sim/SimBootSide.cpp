#include "backend/sim/SimBootSide.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/slots/BootedSlot.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "backend/sim/DeviceFiles.h"

#include <fmt/format.h>
#include <fmt/std.h>

namespace velkor::sim {

shared::EnvironmentCopies EnvironmentCopiesOf(const std::filesystem::path& deviceDir, const DeviceConfig& config) {
    return {{{deviceDir / device_files::kEnvironment, 0, config.environmentBytes},
             {deviceDir / device_files::kRedundantEnvironment, 0, config.environmentBytes}}};
}

std::filesystem::path CommandLineFileOf(const std::filesystem::path& deviceDir) {
    return deviceDir / device_files::kCommandLine;
}

void CheckBootSide(const std::filesystem::path& deviceDir, const DeviceConfig& config) {
    if (config.slotGroup.Empty()) {
        return;
    }
    const shared::EnvironmentCopies copies = EnvironmentCopiesOf(deviceDir, config);
    std::error_code failure;
    if (!std::filesystem::exists(copies[0].device, failure) && !std::filesystem::exists(copies[1].device, failure)) {
        throw shared::DeviceError(fmt::format("{} has two-slot regions but no boot environment: `velkor-device "
                                              "env-init --device {}` makes one",
                                              deviceDir, deviceDir));
    }
    shared::UbootEnvironment(copies).Read();
    shared::ReadBootedSlot(CommandLineFileOf(deviceDir));
}

}  // namespace velkor::sim
