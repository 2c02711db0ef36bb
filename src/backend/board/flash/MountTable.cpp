#include "backend/board/flash/MountTable.h"

#include "backend/board/flash/KernelText.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace velkor::board {
namespace {

constexpr std::size_t kDeviceField = 2;
constexpr std::size_t kMountPointField = 4;
constexpr std::size_t kMountOptionsField = 5;
// The optional fields end at this one; the file system type and the source follow it.
constexpr std::string_view kSeparator = "-";

bool ListsReadOnly(std::string_view options) {
    const std::vector<std::string_view> listed = SplitKernelText(options, ",");
    return std::find(listed.begin(), listed.end(), "ro") != listed.end();
}

std::optional<MountEntry> ParseLine(std::string_view line) {
    const std::vector<std::string_view> fields = SplitKernelText(line, " ");
    std::size_t separator = kMountPointField + 2;
    while (separator < fields.size() && fields[separator] != kSeparator) {
        ++separator;
    }
    const std::size_t typeField = separator + 1;
    const std::size_t sourceField = separator + 2;
    if (sourceField >= fields.size()) {
        return std::nullopt;
    }
    const std::optional<DeviceNumber> device = ParseDeviceNumber(fields[kDeviceField]);
    if (!device) {
        return std::nullopt;
    }
    const bool superReadOnly = sourceField + 1 < fields.size() && ListsReadOnly(fields[sourceField + 1]);
    return MountEntry{*device, UnescapeKernelPath(fields[kMountPointField]), std::string(fields[typeField]),
                      UnescapeKernelPath(fields[sourceField]), ListsReadOnly(fields[kMountOptionsField]) || superReadOnly};
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    for (const std::string_view line : SplitKernelText(text, "\n")) {
        if (std::optional<MountEntry> entry = ParseLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<std::string> WritableMountPoint(DeviceNumber device, const std::vector<MountEntry>& entries) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const MountEntry& entry) {
        return entry.device == device && !entry.readOnly;
    });
    return found != entries.end() ? std::optional(found->mountPoint) : std::nullopt;
}

std::optional<std::string> ReadMountInfo() {
    std::ifstream file("/proc/self/mountinfo");
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        errno = EIO;
        return std::nullopt;
    }
    return std::move(text).str();
}

}  // namespace velkor::board
