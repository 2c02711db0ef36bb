#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "platform/File.h"

#include <memory>

namespace velkor::shared {

// A private copy of an image, for a region that is written in place: once the first byte is in the
// region the old image is gone, so the bytes must be checked before that, and must not change after
// the check. The copy lives in memory (a sealed memfd): no other program can reach it, it cannot be
// changed once made, and it is gone when the program ends, so a power cut leaves nothing behind. The
// image is read to its end into it while its bytes are fed to `expectation`. Nothing, with the last
// error set, when the copy cannot be made (the file system's code, or the host's error mapped) or
// the image is not the listed one (kCrc).
std::unique_ptr<platform::File> MakePrivateCopy(platform::File& image, ImageExpectation& expectation,
                                                ErrorState& errors);

}  // namespace velkor::shared
