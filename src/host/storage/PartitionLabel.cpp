#include "host/storage/PartitionLabel.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::host {

std::string PartitionLabel(std::u16string_view deviceName, std::u16string_view partitionName) {
    return fmt::format("{} {}", platform::ToUtf8(deviceName), platform::ToUtf8(partitionName));
}

}  // namespace velkor::host
