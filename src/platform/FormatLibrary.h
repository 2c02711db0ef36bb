#pragma once

#include "platform/StorageManager.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace velkor::platform {

// The disk information a partition's driver fills in for DISK_IOCTL_GETINFO; the program hands
// it to the formatter unchanged.
using DiskInfo = std::array<std::uint8_t, 24>;

// What the formatter is asked for, in the format library's field order.
struct FormatOptions {
    std::uint32_t clusterBytes = 0;
    std::uint32_t rootEntries = 0;
    std::uint32_t fatVersion = 0;  // 12, 16 or 32
    std::uint32_t numberOfFats = 0;
    std::uint32_t flags = 0;
};

inline constexpr std::uint32_t kFormatFull = 1;
inline constexpr std::uint32_t kFormatTransactionSafeFat = 2;

// The library's FormatVolume, without its progress and message callbacks, which the program
// never passes. Formats the dismounted partition; 0 on success, an error code otherwise.
using FormatVolumeEntry =
    std::function<std::uint32_t(Partition& partition, const DiskInfo& disk, const FormatOptions& options)>;

// A loaded library; destroying the object frees it. Entry points it hands out must not outlive it.
class LoadedLibrary {
public:
    virtual ~LoadedLibrary() = default;

    // The FormatVolume entry point of that name; empty with the last error set when the library
    // has none.
    virtual FormatVolumeEntry FindFormatVolume(std::u16string_view entryName) = 0;
};

// The libraries the program loads at run time.
class FormatLibrary {
public:
    virtual ~FormatLibrary() = default;

    // Null with the last error set when there is no such library.
    virtual std::unique_ptr<LoadedLibrary> LoadLibrary(std::u16string_view name) = 0;
};

}  // namespace velkor::platform
