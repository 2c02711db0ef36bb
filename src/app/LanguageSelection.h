#pragma once

#include "platform/System.h"
#include "ui/UiStrings.h"

#include <cstdint>

namespace velkor::app {

// Chinese as used in the People's Republic of China; every other language gets English.
inline constexpr std::uint16_t kLanguageChinesePrc = 0x0804;

// Chooses the interface language from the device's default language, once, before the main
// window opens.
void SelectUiLanguage(ui::UiStrings& strings, const platform::System& system);

}  // namespace velkor::app
