#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/ResolvedPath.h"
#include "backend/shared/UniqueFd.h"

namespace velkor::shared {

// Copies the open plain file `source` onto `target`, resolved already (in the source's root or in
// another one). The target is compared with the source by device and inode before it is opened
// for writing, and is written only once it is known to be another file: a copy onto the source
// itself, under any of its names, fails with kSharingViolation and leaves it untouched. The copy
// counts as done only once it is synced and closed; a copy that fails after the target was opened
// removes the target, so no partial file is left (a file it was replacing is then gone too).
bool CopyFileOnto(UniqueFd source, const ResolvedPath& target, ErrorState& errors);

}  // namespace velkor::shared
