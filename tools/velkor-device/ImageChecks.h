#pragma once

#include "backend/sim/DeviceConfig.h"
#include "platform/BitmapLoader.h"
#include "platform/FileSystem.h"
#include "update/UpdateSettings.h"

#include <fmt/format.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::device_tool {

// One image as the device would take it for its row: readable, not empty where the row writes a
// whole flash region, within its region, a logo the boot screen can decode, a second logo of the
// screen's size in a layout its rewrite handles. The files are read through a device's own file
// system and bitmap loader, so an image passes exactly when the device would open and load it.
class ImageChecks {
public:
    // `lastError` answers the error code of the file system's last failure.
    ImageChecks(platform::FileSystem& files, platform::BitmapLoader& loader, std::function<std::uint32_t()> lastError,
                const sim::DeviceConfig& device);

    ImageChecks(const ImageChecks&) = delete;
    ImageChecks& operator=(const ImageChecks&) = delete;

    // One message per problem of the image at `path`, named `name` in each, saying what the device
    // would do with it; empty when the device takes it.
    std::vector<std::string> Problems(update::ImageKind kind, std::u16string_view path, std::string_view name);

private:
    void CheckRegion(std::uint64_t bytes);
    void CheckNotEmpty(std::uint64_t bytes);
    void CheckLogo();
    void CheckSecondLogo(platform::File& opened);
    std::string_view LastFailure() const;

    template <typename... Args>
    void Refuse(fmt::format_string<Args...> pattern, Args&&... args) {
        problems_.push_back(fmt::format(pattern, std::forward<Args>(args)...));
    }

    platform::FileSystem& files_;
    platform::BitmapLoader& loader_;
    std::function<std::uint32_t()> lastError_;
    const sim::DeviceConfig& device_;
    // The image that Problems() is checking, for the duration of the call.
    update::ImageKind kind_ = update::ImageKind::OS;
    std::u16string_view path_;
    std::string_view name_;
    std::vector<std::string> problems_;
};

}  // namespace velkor::device_tool
