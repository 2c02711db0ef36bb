// Any text as a card's manifest: it is read or refused with a reason, never anything else; what is
// read keeps the reader's own limits, and writing it out reads back the same.
#include "trust/ManifestReader.h"
#include "trust/ManifestWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkor::trust;
    const ManifestReading reading = ReadManifest(std::string_view(reinterpret_cast<const char*>(data), size));
    // Either a manifest or a reason, never both or neither.
    if (reading.manifest.has_value() != reading.error.empty()) {
        __builtin_trap();
    }
    if (reading.manifest && (reading.manifest->images.size() > kMaxManifestImages ||
                             ReadManifest(WriteManifest(*reading.manifest)).manifest != reading.manifest)) {
        __builtin_trap();
    }
    return 0;
}
