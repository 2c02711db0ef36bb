#pragma once

#include "backend/shared/RegistryTree.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkor::shared {

// The flash driver's fixed device name, which opens whatever the registry says.
inline constexpr std::u16string_view kFallbackFlashDevice = u"\\pelmarflash\\Vol:";

// The names the flash driver answers to: the fixed name first, then the volume device of the
// BinFLASH storage profile's folder when the registry names one.
std::vector<std::u16string> FlashDeviceNames(const RegistryTree& registry);

}  // namespace velkor::shared
