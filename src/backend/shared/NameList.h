#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor::shared {

// Whether `names` holds `name`, letter case aside, as the device compares the names of its
// stores, partitions, volumes and folders.
bool ListsName(const std::vector<std::u16string>& names, std::u16string_view name);

}  // namespace velkor::shared
