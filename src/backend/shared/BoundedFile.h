#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace velkor::shared {

// The most read of a file that describes a device: device.json, platform.reg, a target file and
// the registry file it names.
inline constexpr std::uint64_t kMaxDescriptionBytes = 16 * 1024 * 1024;

// Whether a link may stand where the file is looked for: a device directory's own entries may not
// be links (they would carry its reads elsewhere), an engineer's target file may.
enum class LinkRule { Refused, Followed };

// The whole of the file `path`, `role` naming it in complaints ("the target file"). It must be a
// plain file of at most `maxBytes`; a FIFO is refused, never waited on, and no more than one byte
// past the limit is read however large the file is or grows. Throws DeviceError naming the file and
// what is wrong.
std::string ReadBoundedFile(const std::filesystem::path& path, std::string_view role, LinkRule links,
                            std::uint64_t maxBytes = kMaxDescriptionBytes);
// The same read for a service that answers with the device's error codes: nothing, with `error` set,
// when the file cannot be read: kFileNotFound when it is not there, kInvalidData when it is larger
// than `maxBytes`, kAccessDenied for a refused link or anything but a plain file, the host's error
// mapped otherwise.
std::optional<std::string> ReadBoundedFile(const std::filesystem::path& path, LinkRule links, std::uint64_t maxBytes,
                                           std::uint32_t& error);

// What a stat mode says an entry is, for a complaint: "a link", "a FIFO", "a folder", ...
const char* FileKindText(mode_t mode);

}  // namespace velkor::shared
