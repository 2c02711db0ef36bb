#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace velkor::device_tool {

// The bytes of the plain files at or below `path`; links are not followed.
std::uintmax_t BytesBelow(const std::filesystem::path& path);

// Why `bytes` for `what` do not fit on the disk that holds `folder`: "the card needs N bytes but
// the disk that holds F has M free"; nothing when they fit or the disk cannot be asked.
std::optional<std::string> RoomProblem(const std::filesystem::path& folder, std::uintmax_t bytes,
                                       std::string_view what);

// True when writing below `folder` failed because its disk is full. std::filesystem reports a disk
// that fills up during a copy as an I/O error, so the disk is asked too.
bool IsDiskFull(const std::error_code& failure, const std::filesystem::path& folder);

}  // namespace velkor::device_tool
