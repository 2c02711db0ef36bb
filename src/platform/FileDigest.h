#pragma once

#include "platform/File.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <optional>

namespace velkor::platform {

// The SHA-256 of the next `length` bytes of `file`, read in fixed memory. Nothing when they cannot
// be read, or the file ends before them.
std::optional<Sha256Digest> DigestOfFile(File& file, std::uint64_t length);

}  // namespace velkor::platform
