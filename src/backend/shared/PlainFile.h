#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/ResolvedPath.h"
#include "backend/shared/UniqueFd.h"

#include <sys/types.h>

namespace velkor::shared {

// Opens `name` in the folder `folder` (AT_FDCWD: the current folder, or `name` a whole path) with
// `flags`, never following a link in its last component and never waiting on a FIFO. Anything
// but a plain file is closed again: the result is invalid with errno set (EACCES for a FIFO, a
// device file or a socket).
UniqueFd OpenPlainFile(int folder, const char* name, int flags, mode_t mode = 0);

// Opens the plain file a device path resolved to as OpenPlainFile does, new files readable by all,
// and makes it blocking again once it is known to be plain. Invalid, with the device's error code
// in `errors`, when it cannot be opened or is not a plain file (kAccessDenied).
UniqueFd OpenResolvedFile(const ResolvedPath& path, int flags, ErrorState& errors);

}  // namespace velkor::shared
