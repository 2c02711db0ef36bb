#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velkor::platform {

// Ordered, growable list of strings. It grows in steps of one eighth of its size, at least 4
// elements, so that long lists do not reallocate at every append and a list of any length is
// built in time linear in its length.
class StringArray {
public:
    static std::size_t GrowthStep(std::size_t size);

    void Append(std::u16string text);
    std::size_t Count() const { return items_.size(); }
    std::size_t Capacity() const { return items_.capacity(); }
    const std::u16string& At(std::size_t index) const { return items_.at(index); }

private:
    std::vector<std::u16string> items_;
};

}  // namespace velkor::platform
