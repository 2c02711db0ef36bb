#pragma once

#include "backend/shared/flash/FlashRegion.h"
#include "update/UpdateSettings.h"

#include <array>
#include <string>

namespace velkor::device_tool {

// The rows a card can carry an image for, in the order an update writes them.
inline constexpr std::array<update::ImageKind, 5> kCardRows{
    update::ImageKind::Logo, update::ImageKind::Logo2, update::ImageKind::Boot,
    update::ImageKind::OS,   update::ImageKind::App,
};

// The option that names the row's image: "--os", "--logo2".
std::string CardOption(update::ImageKind kind);

// The flash region the row's image is programmed into; null for the second logo, which is copied
// to the data volume instead.
const shared::FlashRegionInfo* FlashRegionOf(update::ImageKind kind);

}  // namespace velkor::device_tool
