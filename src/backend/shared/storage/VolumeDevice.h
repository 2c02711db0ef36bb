#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/storage/ControlCall.h"

#include <cstdint>
#include <string_view>

namespace velkor::shared {

// A volume's device is its volume name followed by this: "\VKRFlash\Vol:".
inline constexpr std::u16string_view kVolumeDeviceSuffix = u"\\Vol:";

// The storage manager's own folder, which it keeps on every volume it mounts; the device's spelling,
// apart from the program's on purpose.
inline constexpr std::string_view kStoreFolder = "$MSD$";

// Whether `path` is the device name of the volume `volume`, letter case aside.
bool NamesVolumeDevice(std::u16string_view path, std::u16string_view volume);

// A request a volume device answers, and its reply's size.
struct VolumeCode {
    std::uint32_t code;
    std::uint32_t replyBytes;
};

// Null unless `code` is one a volume device answers (the volume parameters, the free space).
const VolumeCode* FindVolumeCode(std::uint32_t code);
bool IsVolumeCode(std::uint32_t code);

// The request of `call` when a volume device answers it: a volume code, no input and an output
// that holds the reply. Null, with the last error set, otherwise: kNotSupported for another
// code, kInvalidParameter for an input, and as ControlCall::OutputHolds for the output.
const VolumeCode* AcceptVolumeCall(const ControlCall& call, ErrorState& errors);

}  // namespace velkor::shared
