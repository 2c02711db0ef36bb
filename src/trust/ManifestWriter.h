#pragma once

#include "trust/Manifest.h"

#include <string>

namespace velkor::trust {

// The manifest as the card carries it: a JSON object with "compatible", "version" and "images"
// (each with "row", "path", "size" and "sha256"), indented, ending in a line feed. ReadManifest
// gives the same manifest back.
std::string WriteManifest(const Manifest& manifest);

}  // namespace velkor::trust
