#include "backend/shared/flash/FlashRequest.h"

#include "backend/shared/flash/FlashRegion.h"
#include "platform/ErrorCodes.h"
#include "platform/FlashControlCodes.h"

#include <cstring>

namespace velkor::shared {

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

std::uint32_t FlashRequest::Check() const {
    const bool takesPath = FindRegionByCode(code) != nullptr;
    if (!takesPath && code != platform::IOCTL_FLASH_RESET) {
        return platform::error::kNotSupported;
    }
    const bool followsConvention = inputSize == 0 && hasInput == takesPath && (!takesPath || pathTerminated);
    return followsConvention ? platform::error::kSuccess : platform::error::kInvalidParameter;
}

}  // namespace velkor::shared
