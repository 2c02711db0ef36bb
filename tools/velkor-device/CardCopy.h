#pragma once

#include <filesystem>

namespace velkor::device_tool {

// Copies the card folder `card` onto the storage card folder `storageCard` as a copy onto a real
// card does: the card's folders join those of the same name in any letter case, its files replace
// those of the same name, and whatever the card does not bring stays. Goes through the program's
// own file system, which matches names as the card does. Throws shared::DeviceError naming the
// file that could not be copied, and why.
void CopyCardOnto(const std::filesystem::path& card, const std::filesystem::path& storageCard);

}  // namespace velkor::device_tool
