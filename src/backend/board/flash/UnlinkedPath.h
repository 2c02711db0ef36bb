#pragma once

#include "backend/shared/UniqueFd.h"

#include <filesystem>

namespace velkor::board {

// Opens the plain file `path` with `flags`, folder by folder, refusing with ELOOP a link anywhere
// on the way: a linked folder could lead a region's writes onto another file system's file. What
// is not a plain file is refused as shared::OpenPlainFile refuses it.
shared::UniqueFd OpenWithoutLinks(const std::filesystem::path& path, int flags);

}  // namespace velkor::board
