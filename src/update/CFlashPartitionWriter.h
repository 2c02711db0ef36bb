#pragma once

#include "platform/DeviceIo.h"
#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velkor::update {

// The flash writer's debug texts when the flash volume does not open and when the driver refuses;
// each prints the last error code in hex.
inline constexpr std::u16string_view kOpenFailure = u"CreateFile fail =%x\n";
inline constexpr std::u16string_view kControlFailure = u"Deviceiocontrol error =%x";

// The one way raw images reach the flash: it opens the flash volume device, hands the flash
// driver a control code and, for an image, the image file's path, and closes the device again.
// The driver reads the file itself. One object serves one request.
class CFlashPartitionWriter {
public:
    explicit CFlashPartitionWriter(platform::Platform& platform);

    // `inputPath` is the image's zero-terminated path, or null for IOCTL_FLASH_RESET. Returns the
    // driver's answer unchanged: nonzero when it carried out the request, 0 when no flash volume
    // device opened or the driver refused.
    int WritePartition(std::uint32_t controlCode, const char16_t* inputPath);

private:
    // The folder the storage manager mounts the BinFLASH store under; empty when it cannot be read.
    std::u16string ReadFlashFolder() const;
    // The store's own volume device, else the fixed fallback; null when neither opens.
    std::unique_ptr<platform::DeviceHandle> OpenFlashVolume();
    std::unique_ptr<platform::DeviceHandle> OpenVolume(std::u16string_view path);
    void ReportLastError(std::u16string_view pattern);

    platform::Platform& platform_;
};

}  // namespace velkor::update
