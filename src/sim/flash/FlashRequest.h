#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velkor::sim {

// One control request to the flash driver, with its input read as the path it should be.
struct FlashRequest {
    // The device's longest path, terminator included; the driver looks no further for the end
    // of a path whose size is not declared.
    static constexpr std::size_t kMaxPathChars = 260;

    std::uint32_t code = 0;
    // Nothing when the input is null; otherwise the characters up to the terminator, or up to
    // the limit when there is none.
    std::optional<std::u16string> path;
    bool pathTerminated = false;
    std::uint32_t inputSize = 0;

    // Reads `input` as a zero-terminated UTF-16 path: at most `inputSize` bytes of it when a size
    // is declared, otherwise at most kMaxPathChars characters.
    static FlashRequest Read(std::uint32_t code, const void* input, std::uint32_t inputSize);
};

}  // namespace velkor::sim
