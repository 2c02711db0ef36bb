#include "velkor-device/InitCommand.h"

#include "backend/shared/HexOrDecimal.h"
#include "backend/sim/DeviceConfig.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>
#include <vector>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// The files below `directory`, as paths relative to it, in name order.
std::vector<fs::path> FilesBelow(const fs::path& directory) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().lexically_relative(directory));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

void RunInit(const InitRequest& request, std::ostream& out) {
    sim::InitDevice(request.directory, request.options);
    const fs::path directory = fs::absolute(request.directory);
    out << fmt::format("Made the device {}: screen {} x {}, language {}.\n", directory.string(),
                       request.options.screen.width, request.options.screen.height,
                       shared::LanguageIdText(request.options.languageId));
    for (const fs::path& file : FilesBelow(directory)) {
        out << fmt::format("  {:<40} {:>8} bytes\n", file.string(), fs::file_size(directory / file));
    }
    out << fmt::format("\nRun the updater on it with:\n  velkor --device {}\n", directory.string());
}

}  // namespace velkor::device_tool
