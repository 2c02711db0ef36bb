// Any text as a card's manifest: it is read or refused with a reason, never anything else; what is
// read keeps the reader's own limits, left no byte unread, and writing it out reads back the same.
#include "trust/ManifestReader.h"
#include "trust/ManifestWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// Whether the reader consumed the whole text: without its last byte other than white space, the
// text must no longer read, so no byte after the document went unread.
bool EndsAtItsLastByte(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return last != std::string_view::npos && !velkor::trust::ReadManifest(text.substr(0, last)).manifest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkor::trust;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ManifestReading reading = ReadManifest(text);
    // Either a manifest or a reason, never both or neither.
    if (reading.manifest.has_value() != reading.error.empty()) {
        __builtin_trap();
    }
    if (reading.manifest && !EndsAtItsLastByte(text)) {
        __builtin_trap();
    }
    if (reading.manifest && (reading.manifest->images.size() > kMaxManifestImages ||
                             ReadManifest(WriteManifest(*reading.manifest)).manifest != reading.manifest)) {
        __builtin_trap();
    }
    return 0;
}
