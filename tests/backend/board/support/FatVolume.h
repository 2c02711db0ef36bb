#pragma once

#include "backend/board/support/FuseFatMount.h"
#include "backend/board/support/LoopDevice.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velkor::test {

// A FAT volume the test made: the sparse file `image` of `bytes`, laid out by mkfs.fat with
// `mkfsOptions`, a loop device over it, and that mounted through fusefat on `mountPoint`.
// Unmounted and detached when the object goes.
class FatVolume {
public:
    FatVolume(const std::filesystem::path& image, std::uintmax_t bytes, const std::string& mkfsOptions,
              const std::filesystem::path& mountPoint);

    // Why the volume could not be made; empty when it is mounted.
    const std::string& Unavailable() const { return unavailable_; }
    std::filesystem::path Device() const { return loop_ ? loop_->Path() : std::filesystem::path(); }

private:
    std::string Make(const std::filesystem::path& image, std::uintmax_t bytes, const std::string& mkfsOptions,
                     const std::filesystem::path& mountPoint);

    std::optional<LoopDevice> loop_;
    std::optional<FuseFatMount> mount_;
    std::string unavailable_;
};

}  // namespace velkor::test
