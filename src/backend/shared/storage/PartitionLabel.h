#pragma once

#include <string>
#include <string_view>

namespace velkor::shared {

// "DSK2: Part00": a partition as events.log names it, by its store's device name and its own name.
std::string PartitionLabel(std::u16string_view deviceName, std::u16string_view partitionName);

}  // namespace velkor::shared
