#pragma once

#include <cstdint>
#include <string_view>

namespace velkor::shared {

// Writes every byte of `bytes` to `fd`, going on after short writes and interruptions: true, or
// false with errno set. A write that takes nothing without an error would never finish, so it
// fails with ENOSPC.
bool WriteFully(int fd, std::string_view bytes);

// The same at `offset`, leaving the file's own offset where it was.
bool WriteFullyAt(int fd, std::string_view bytes, std::uint64_t offset);

}  // namespace velkor::shared
