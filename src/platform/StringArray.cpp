#include "platform/StringArray.h"

#include <algorithm>

namespace velkor::platform {

std::size_t StringArray::GrowthStep(std::size_t size) {
    return std::max<std::size_t>(size / 8, 4);
}

void StringArray::Append(std::u16string text) {
    if (items_.size() == items_.capacity()) {
        items_.reserve(items_.capacity() + GrowthStep(items_.size()));
    }
    items_.push_back(std::move(text));
}

}  // namespace velkor::platform
