#include "backend/shared/NameList.h"

#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::shared {

bool ListsName(const std::vector<std::u16string>& names, std::u16string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::u16string& listed) { return platform::EqualsIgnoreCase(listed, name); });
}

}  // namespace velkor::shared
