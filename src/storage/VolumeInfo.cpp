#include "storage/VolumeInfo.h"

#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"

#include <array>
#include <cstdint>

namespace velkor::storage {
namespace {

constexpr std::u16string_view kVolumeSuffix = u"\\Vol:";
constexpr int kInvalidHandleValue = -1;

// The device prints a handle's value; here a handle is an object, and its address stands in.
int HandleValue(const platform::DeviceHandle* handle) {
    return handle ? static_cast<int>(reinterpret_cast<std::uintptr_t>(handle) & 0x7FFFFFFF) : kInvalidHandleValue;
}

// True when the request succeeded and filled the whole reply.
template <std::size_t Size>
bool Ask(platform::DeviceHandle& volume, std::uint32_t code, std::array<std::uint8_t, Size>& reply) {
    std::uint32_t bytesReturned = 0;
    return volume.Control(code, nullptr, 0, reply.data(), Size, &bytesReturned) != 0 && bytesReturned == Size;
}

}  // namespace

int GetFatInfo(platform::Platform& platform, FatVolumeInfo& info, const platform::PartitionInfo& partition) {
    platform::System& system = platform.system;
    const std::u16string path = partition.volumeName + std::u16string(kVolumeSuffix);
    const std::unique_ptr<platform::DeviceHandle> volume =
        platform.deviceIo.OpenDevice(path, platform::kGenericRead | platform::kGenericWrite, platform::kShareExclusive);
    const auto reportOpen = [&](int handleValue) {
        system.DebugPrint(platform::Format(u"ppartInfo->szVolumeName = %s,%d,%d\n", path, system.GetLastError(),
                                           handleValue));
    };
    reportOpen(HandleValue(volume.get()));
    if (!volume) {
        reportOpen(kInvalidHandleValue);
        return 0;
    }
    std::array<std::uint8_t, platform::kVolumeParametersBytes> parameters{};
    if (!Ask(*volume, platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, parameters)) {
        system.DebugPrint(u"DeviceIoControlIOCTL_DISK_GET_VOLUME_PARAMETERS\n");
        return 0;
    }
    ReadParameterBlock(parameters, info);
    std::array<std::uint8_t, platform::kFreeSpaceBytes> freeSpace{};
    if (!Ask(*volume, platform::IOCTL_DISK_GET_FREE_SPACE, freeSpace)) {
        system.DebugPrint(platform::Format(u"DeviceIoControlIOCTL_DISK_GET_FREE_SPACE = %d\n", system.GetLastError()));
        return 0;
    }
    ReadFreeSpace(freeSpace, info);
    return 1;
}

}  // namespace velkor::storage
