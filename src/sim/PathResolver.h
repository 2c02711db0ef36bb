#pragma once

#include "platform/ErrorCodes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

struct ResolvedPath {
    // kSuccess, or why the path is refused (kInvalidName, kAccessDenied).
    std::uint32_t error = platform::error::kSuccess;
    std::filesystem::path host;
    // The path's components as the device spells them: existing entries as found on disk.
    std::vector<std::u16string> components;
};

// Turns device paths ("\StorageCard\LOGO2.bmp") into host paths inside the device's root folder,
// matching each component without regard to case as the device's file system does. No result
// ever lies outside the root: "..", names with a drive colon or wildcards, and symbolic links that
// lead out of the root are refused.
class PathResolver {
public:
    // `root` must exist.
    explicit PathResolver(const std::filesystem::path& root);

    ResolvedPath Resolve(std::u16string_view devicePath) const;

    // The components of a device path: '\' and '/' separate, empty and "." components are dropped.
    static std::vector<std::u16string> SplitComponents(std::u16string_view devicePath);

private:
    static bool IsAcceptableName(std::u16string_view component);
    // The entry of `directory` that `component` names, or the component as given when none does.
    static std::filesystem::path MatchEntry(const std::filesystem::path& directory, std::u16string_view component);
    bool IsLinkInsideRoot(const std::filesystem::path& host) const;

    std::filesystem::path root_;
};

}  // namespace velkor::sim
