#include "velkor-device/DiskRoom.h"

#include <fmt/format.h>

namespace velkor::device_tool {

namespace fs = std::filesystem;

std::uintmax_t BytesBelow(const fs::path& path) {
    std::error_code failure;
    if (fs::is_regular_file(fs::symlink_status(path, failure))) {
        return fs::file_size(path, failure);
    }
    std::uintmax_t bytes = 0;
    for (fs::recursive_directory_iterator entry(path, failure), end; !failure && entry != end;
         entry.increment(failure)) {
        if (entry->is_regular_file() && !entry->is_symlink()) {
            const std::uintmax_t size = entry->file_size(failure);
            bytes += failure ? 0 : size;
            failure.clear();
        }
    }
    return bytes;
}

std::optional<std::string> RoomProblem(const fs::path& folder, std::uintmax_t bytes, std::string_view what) {
    std::error_code failure;
    const fs::space_info space = fs::space(folder, failure);
    if (failure || bytes <= space.available) {
        return std::nullopt;
    }
    return fmt::format("{} needs {} bytes but the disk that holds {} has {} free", what, bytes, folder.string(),
                       space.available);
}

bool IsDiskFull(const std::error_code& failure, const fs::path& folder) {
    std::error_code ignored;
    return failure == std::errc::no_space_on_device || fs::space(folder, ignored).available == 0;
}

}  // namespace velkor::device_tool
