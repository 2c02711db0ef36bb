#include "RaucInstall.h"

#include <fmt/format.h>

#include <cstdlib>

namespace velkor::bench {

RaucInstall::RaucInstall(const std::filesystem::path& folder, const std::filesystem::path& slot,
                         const std::filesystem::path& image)
    : folder_(folder), bundle_(folder / "update.raucb") {
    if (std::system("command -v rauc >/dev/null && command -v dbus-daemon >/dev/null && "
                    "command -v mksquashfs >/dev/null") != 0) {
        skipped_ = "RAUC, dbus-daemon or mksquashfs is not installed (make bench installs them)";
        return;
    }
    std::filesystem::create_directories(folder_);
    started_ = true;
    if (std::system(Script(fmt::format("setup '{}' '{}' '{}'", folder_.string(), slot.string(), image.string()))
                        .c_str()) != 0) {
        skipped_ = "RAUC could not be set up (see above)";
    }
}

RaucInstall::~RaucInstall() {
    if (started_) {
        std::system(Script(fmt::format("teardown '{}'", folder_.string())).c_str());
    }
}

bool RaucInstall::Install() const {
    return std::system(Script(fmt::format("install '{}'", folder_.string())).c_str()) == 0;
}

std::string RaucInstall::Script(const std::string& command) const {
    return fmt::format("sh '{}' {}", VELKOR_RAUC_SCRIPT, command);
}

}  // namespace velkor::bench
