#pragma once

#include "platform/DataVolume.h"
#include "platform/File.h"
#include "platform/Platform.h"

#include <string>
#include <string_view>

namespace velkor::update {

// "\VKRFlash\$MSD$\Logo\" and the copy in it.
inline const std::u16string kSecondLogoFolder =
    std::u16string(platform::kDataVolume) + u"\\" + std::u16string(platform::kStoreFolderName) + u"\\Logo\\";
inline const std::u16string kSecondLogoCopy = kSecondLogoFolder + u"Logo.bmp";

// Copies the second logo into the flash file system, then lifts the copy's near-black pixels.
// The logo must be a loadable bitmap of exactly the screen's size. Only the last folder level
// is created. Returns 1 once the copy is made, whatever becomes of the lifting; otherwise 0.
int UpdateSecondLogo(platform::Platform& platform, std::u16string_view logoPath);

// Rewrites the pixel rows of the bitmap file open in `file` with LogoDarkPixelFix. A file it
// cannot read whole, or whose layout it cannot rewrite faithfully, is left as it is. True when
// the rows were written back.
bool LiftDarkPixels(platform::File& file);

}  // namespace velkor::update
