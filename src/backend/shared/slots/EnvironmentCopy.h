#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

namespace velkor::shared {

// Where one copy of the boot loader's environment lives: a block device or file, the offset of the
// copy in it and the environment's size, all as the boot loader was built with.
struct EnvironmentCopy {
    std::filesystem::path device;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;

    bool operator==(const EnvironmentCopy&) const = default;
};

// Larger than any boot loader's environment: a size beyond it is a mistake, not an environment.
inline constexpr std::uint64_t kMaxEnvironmentBytes = 16 * 1024 * 1024;

// The two redundant copies.
using EnvironmentCopies = std::array<EnvironmentCopy, 2>;

}  // namespace velkor::shared
