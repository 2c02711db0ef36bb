#include "sim/storage/PartitionState.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::sim {

std::string PartitionState::Label() const {
    return fmt::format("{} {}", platform::ToUtf8(store.deviceName), platform::ToUtf8(config.name));
}

}  // namespace velkor::sim
