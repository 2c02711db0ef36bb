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

// The lines of `first`, then those of `second`: expected logs are put together from their parts.
inline std::vector<std::string> operator+(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace velkor::test
