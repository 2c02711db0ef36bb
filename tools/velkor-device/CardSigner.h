#pragma once

#include "trust/ManifestSigner.h"
#include "velkor-device/CommandLine.h"

#include <optional>
#include <string>
#include <vector>

namespace velkor::device_tool {

// The signer of a card's manifest, from the engineer's PEM files. Nothing, with a problem for the
// file that does not read or the key that does not belong to its certificate, otherwise.
std::optional<trust::ManifestSigner> LoadSigner(const CardSigning& signing, std::vector<std::string>& problems);

}  // namespace velkor::device_tool
