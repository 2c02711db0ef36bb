#pragma once

#include "velkor-device/CommandLine.h"

#include <string>
#include <vector>

namespace velkor::device_tool {

// What stands against making the card in the request's OUT, one message each. A card is made in
// a new folder, or replaces (with --force) one that holds an earlier card and nothing else; OUT
// is never the folder, nor a folder above, a source image, the --device directory, the current
// directory or the home directory, since replacing it would delete them.
std::vector<std::string> OutFolderProblems(const CardRequest& request);

}  // namespace velkor::device_tool
