#pragma once

#include "platform/Platform.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velkor::update {

// The step of an image the flash driver programs from a file (OS, Logo, Boot or App): checks that
// the file exists and hands its path to the driver. 1 when the driver wrote it; 0 when the path
// is empty or names no file (the driver then receives nothing), or the driver's failure.
int WriteImage(platform::Platform& platform, ImageKind kind, const std::u16string& path);

// The flash driver's control code for the row's image; nothing for a row the driver does not
// program from a file (Logo2, Reset).
std::optional<std::uint32_t> FlashControlCode(ImageKind kind);
// Sends the flash driver its reset request; the driver's answer.
int ResetFlash(platform::Platform& platform);
// The update's commit point (DeviceIo::CommitUpdate); a refusal is a debug line. Returns the answer.
int CommitUpdate(platform::Platform& platform, bool wholeUpdate);

// The row's step as the main window runs it, with the row's path from `settings`; exactly 1 is
// success.
int RunImageStep(platform::Platform& platform, const UpdateSettings& settings, ImageKind kind);

}  // namespace velkor::update
