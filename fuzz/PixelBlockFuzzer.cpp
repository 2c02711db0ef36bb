// Any bytes as the copied second logo: lifting its dark pixels keeps the file's length and changes
// no byte outside the pixel block its headers describe; a file without one is left as it is.
#include "support/FakeFileSystem.h"
#include "update/BitmapPixelBlock.h"
#include "update/SecondLogoStep.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::u16string_view kPath = u"\\Logo.bmp";
    const std::string original(reinterpret_cast<const char*>(data), size);
    velkor::test::FakeFileSystem files;
    files.AddFile(kPath, original);
    {
        auto file = files.OpenFile(kPath, velkor::platform::FileMode::ReadWrite);
        velkor::update::LiftDarkPixels(*file);
    }
    const std::string rewritten = files.Content(kPath).value_or("");
    if (rewritten.size() != original.size()) {
        std::abort();
    }
    const auto block = velkor::update::FindPixelBlock(
        std::span(data, std::min(size, velkor::update::kBitmapHeaderBytes)), size);
    const std::size_t begin = block ? static_cast<std::size_t>(block->offset) : size;
    const std::size_t end = block ? begin + block->bytes : size;
    if (end > size || original.compare(0, begin, rewritten, 0, begin) != 0 ||
        original.compare(end, std::string::npos, rewritten, end, std::string::npos) != 0) {
        std::abort();
    }
    return 0;
}
