#pragma once

#include "platform/Windows.h"

#include <cstdint>
#include <string_view>

namespace velkor::update {

// The first visible, unowned top-level window other than `startWindow`, walking the z-order from
// the bottom up, whose process runs `executable` (compared without regard to case). Stores the
// window's process id in `processId` when it finds one; 0 when there is none.
platform::WindowHandle FindProgramWindow(platform::Windows& windows, platform::WindowHandle startWindow,
                                         std::u16string_view executable, std::uint32_t& processId);

// Asks the sibling programs that may hold the flash to close (IDCANCEL, then IDOK) and
// terminates them with exit code 4. Nothing of their answer is examined.
void StopRunningPrograms(platform::Windows& windows, platform::WindowHandle mainWindow);

}  // namespace velkor::update
