#include "sim/flash/FlashRequest.h"

#include "sim/flash/FlashRegion.h"

#include <cstring>

namespace velkor::sim {

FlashRequest FlashRequest::Read(std::uint32_t code, const void* input, std::uint32_t inputSize) {
    FlashRequest request{code, input != nullptr, std::nullopt, false, inputSize};
    if (!input || !FindRegionByCode(code)) {
        return request;
    }
    // The caller's characters need not be aligned, so each is copied out.
    const auto* bytes = static_cast<const unsigned char*>(input);
    const std::size_t limit = inputSize != 0 ? inputSize / sizeof(char16_t) : kMaxPathChars;
    std::u16string path;
    for (std::size_t index = 0; index < limit && !request.pathTerminated; ++index) {
        char16_t character = 0;
        std::memcpy(&character, bytes + index * sizeof(char16_t), sizeof character);
        request.pathTerminated = character == u'\0';
        if (!request.pathTerminated) {
            path += character;
        }
    }
    request.path = std::move(path);
    return request;
}

}  // namespace velkor::sim
