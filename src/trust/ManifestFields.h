#pragma once

#include <string_view>

// The manifest's field names, which its writer and its reader share.
namespace velkor::trust::field {

inline constexpr std::string_view kCompatible = "compatible";
inline constexpr std::string_view kVersion = "version";
inline constexpr std::string_view kImages = "images";
inline constexpr std::string_view kRow = "row";
inline constexpr std::string_view kPath = "path";
inline constexpr std::string_view kSize = "size";
inline constexpr std::string_view kSha256 = "sha256";

}  // namespace velkor::trust::field
