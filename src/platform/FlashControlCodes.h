#pragma once

#include <cstdint>

namespace velkor::platform {

// The flash driver's private control codes: device type 0x8000, any access, buffered, with the
// function numbers 0x835 to 0x83A. Image codes take a pointer to the image file's zero-terminated
// path with a declared input size of 0; the reset takes no input.
constexpr std::uint32_t FlashControlCode(std::uint32_t function) { return (0x8000U << 16) | (function << 2); }

inline constexpr std::uint32_t IOCTL_FLASH_WRITE_BOOT = FlashControlCode(0x835);
inline constexpr std::uint32_t IOCTL_FLASH_WRITE_LOGO = FlashControlCode(0x836);
inline constexpr std::uint32_t IOCTL_FLASH_WRITE_OS = FlashControlCode(0x837);
inline constexpr std::uint32_t IOCTL_FLASH_RESET = FlashControlCode(0x838);
inline constexpr std::uint32_t IOCTL_FLASH_WRITE_APP = FlashControlCode(0x83A);

static_assert(IOCTL_FLASH_WRITE_BOOT == 0x800020D4 && IOCTL_FLASH_WRITE_LOGO == 0x800020D8 &&
              IOCTL_FLASH_WRITE_OS == 0x800020DC && IOCTL_FLASH_RESET == 0x800020E0 &&
              IOCTL_FLASH_WRITE_APP == 0x800020E8);

}  // namespace velkor::platform
