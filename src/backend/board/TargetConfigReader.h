#pragma once

#include "backend/board/TargetConfig.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::board {

// The whole of a target file or of the registry file it names (`field`), read as
// shared::ReadBoundedFile reads a file an engineer wrote: a plain file, possibly through a link.
// Throws shared::DeviceError naming the file otherwise.
std::string ReadTargetText(const std::filesystem::path& file, std::string_view field);

// Reads a target file (docs/target.md). Relative host paths are taken from the file's folder. A
// partition's volume folder is one of the device's folders, the host folder it is mounted on,
// whether or not "folders" lists it. No two folders may be the same host folder or lie one inside
// the other, links on the machine resolved. Throws shared::DeviceError naming the file and the
// field at fault; nothing on the machine is examined beyond the file itself and the folders' links.
TargetConfig ReadTargetConfig(const std::filesystem::path& file);

// As ReadTargetConfig, from the file's text; `file` names it and anchors relative paths. Folders
// are compared as written: nothing on the machine is examined.
TargetConfig ParseTargetConfig(std::string_view text, const std::filesystem::path& file);

// events.log of the device, in the target file's log folder, which is made when it is missing so
// that the first program to run on a new device logs too. Throws shared::DeviceError when the
// folder cannot be made.
std::filesystem::path EventsLogOf(const TargetConfig& config);

}  // namespace velkor::board
