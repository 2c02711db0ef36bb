#include "backend/shared/storage/VolumeDevice.h"

#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"

#include <algorithm>
#include <array>
#include <string>

namespace velkor::shared {
namespace {

namespace error = platform::error;

constexpr std::array<VolumeCode, 2> kVolumeCodes{{
    {platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, platform::kVolumeParametersBytes},
    {platform::IOCTL_DISK_GET_FREE_SPACE, platform::kFreeSpaceBytes},
}};

}  // namespace

bool NamesVolumeDevice(std::u16string_view path, std::u16string_view volume) {
    return platform::EqualsIgnoreCase(std::u16string(volume) + std::u16string(kVolumeDeviceSuffix), path);
}

const VolumeCode* FindVolumeCode(std::uint32_t code) {
    const auto found = std::find_if(kVolumeCodes.begin(), kVolumeCodes.end(),
                                    [&](const VolumeCode& known) { return known.code == code; });
    return found != kVolumeCodes.end() ? &*found : nullptr;
}

bool IsVolumeCode(std::uint32_t code) { return FindVolumeCode(code) != nullptr; }

const VolumeCode* AcceptVolumeCall(const ControlCall& call, ErrorState& errors) {
    const VolumeCode* code = FindVolumeCode(call.Code());
    if (!code) {
        errors.Fail(error::kNotSupported);
        return nullptr;
    }
    if (call.HasInput()) {
        errors.Fail(error::kInvalidParameter);
        return nullptr;
    }
    return call.OutputHolds(code->replyBytes, errors) ? code : nullptr;
}

}  // namespace velkor::shared
