#include "backend/shared/storage/PartitionLabel.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::shared {

std::string PartitionLabel(std::u16string_view deviceName, std::u16string_view partitionName) {
    return fmt::format("{} {}", platform::ToUtf8(deviceName), platform::ToUtf8(partitionName));
}

}  // namespace velkor::shared
