#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velkor::shared {

// One control request to the flash driver, with the input of an image code read as its path.
struct FlashRequest {
    // The device's longest path, terminator included; the driver looks no further for the end
    // of a path whose size is not declared.
    static constexpr std::size_t kMaxPathChars = 260;

    std::uint32_t code = 0;
    bool hasInput = false;
    // For an image code with an input: the characters up to the terminator, or up to the limit
    // when there is none. Nothing otherwise: no other code's input is a path, so it is not read.
    std::optional<std::u16string> path;
    bool pathTerminated = false;
    std::uint32_t inputSize = 0;

    // For an image code, reads `input` as a zero-terminated UTF-16 path: at most `inputSize` bytes
    // of it when a size is declared, otherwise at most kMaxPathChars characters.
    static FlashRequest Read(std::uint32_t code, const void* input, std::uint32_t inputSize);

    // What every flash driver answers before it acts: kNotSupported for a code that is neither an
    // image code nor the reset, kInvalidParameter for input against the code's convention (an
    // image code takes a terminated path, the reset nothing, and neither declares a size), and
    // kSuccess for a request the driver goes on to carry out.
    std::uint32_t Check() const;
};

}  // namespace velkor::shared
