#pragma once

#include "platform/StringArray.h"

#include <string>
#include <vector>

namespace velkor::test {

inline platform::StringArray ArrayOf(const std::vector<std::u16string>& items) {
    platform::StringArray list;
    for (const auto& item : items) {
        list.Append(item);
    }
    return list;
}

inline std::vector<std::u16string> Items(const platform::StringArray& list) {
    std::vector<std::u16string> items;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        items.push_back(list.At(i));
    }
    return items;
}

}  // namespace velkor::test
