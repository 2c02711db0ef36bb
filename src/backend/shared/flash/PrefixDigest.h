#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::shared {

// The SHA-256 of the first `length` bytes of the file or block device at `path`, which is only read.
// Nothing, with the last error set, when they cannot be read (kCrc when it ends before them).
std::optional<platform::Sha256Digest> DigestOfPrefix(const std::filesystem::path& path, std::uint64_t length,
                                                     ErrorState& errors);

}  // namespace velkor::shared
