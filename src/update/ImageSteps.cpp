#include "update/ImageSteps.h"

#include "platform/DeviceText.h"
#include "platform/FlashControlCodes.h"
#include "update/CFlashPartitionWriter.h"
#include "update/SecondLogoStep.h"

#include <algorithm>
#include <array>

namespace velkor::update {
namespace {

struct WriterStep {
    ImageKind kind;
    std::uint32_t controlCode;
};

// The images the driver programs from a file; each row's path is UpdateSettings::Path(kind).
constexpr std::array<WriterStep, 4> kWriterSteps{{
    {ImageKind::OS, platform::IOCTL_FLASH_WRITE_OS},
    {ImageKind::Logo, platform::IOCTL_FLASH_WRITE_LOGO},
    {ImageKind::Boot, platform::IOCTL_FLASH_WRITE_BOOT},
    {ImageKind::App, platform::IOCTL_FLASH_WRITE_APP},
}};

constexpr std::u16string_view kCommitFailure = u"CommitUpdate error =%x";

}  // namespace

std::optional<std::uint32_t> FlashControlCode(ImageKind kind) {
    const auto step = std::find_if(kWriterSteps.begin(), kWriterSteps.end(),
                                   [&](const WriterStep& candidate) { return candidate.kind == kind; });
    return step != kWriterSteps.end() ? std::optional(step->controlCode) : std::nullopt;
}

int WriteImage(platform::Platform& platform, ImageKind kind, const std::u16string& path) {
    const std::optional<std::uint32_t> controlCode = FlashControlCode(kind);
    if (!controlCode) {
        return 0;
    }
    const bool found = !path.empty() && platform.fileSystem.GetAttributes(path) != platform::kInvalidFileAttributes;
    const int written = found ? CFlashPartitionWriter(platform).WritePartition(*controlCode, path.c_str()) : 0;
    if (written != 1) {
        platform.deviceIo.ImageFailed(*controlCode);
    }
    return written;
}

int ResetFlash(platform::Platform& platform) {
    return CFlashPartitionWriter(platform).WritePartition(platform::IOCTL_FLASH_RESET, nullptr);
}

int CommitUpdate(platform::Platform& platform, bool wholeUpdate) {
    const int result = platform.deviceIo.CommitUpdate(wholeUpdate);
    if (result == 0) {
        platform.system.DebugPrint(platform::Format(kCommitFailure, platform.system.GetLastError()));
    }
    return result;
}

int RunImageStep(platform::Platform& platform, const UpdateSettings& settings, ImageKind kind) {
    switch (kind) {
        case ImageKind::Reset:
            return ResetFlash(platform);
        case ImageKind::Logo2:
            return UpdateSecondLogo(platform, settings.logo2Path);
        default:
            return WriteImage(platform, kind, *settings.Path(kind));
    }
}

}  // namespace velkor::update
