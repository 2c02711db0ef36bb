#include "update/CFlashPartitionWriter.h"

#include "platform/DeviceText.h"
#include "platform/RegistryKey.h"
#include "platform/StoreProfiles.h"

#include <string>

namespace velkor::update {
namespace {

// The flash store's profile key, with the leading backslash the program has always opened it by.
const std::u16string kBinFlashProfileKey =
    u"\\" + std::u16string(platform::kProfilesKey) + std::u16string(platform::kFlashStoreProfile);
constexpr std::u16string_view kFolderValue = u"Folder";
// The value is read into a 260-character buffer with a limit of 260 bytes, so a folder name of
// more than 129 characters does not arrive at all.
constexpr std::size_t kFolderValueBytes = 260;
constexpr std::u16string_view kVolumeSuffix = u"\\Vol:";
constexpr std::u16string_view kFallbackVolume = u"\\pelmarflash\\Vol:";

}  // namespace

CFlashPartitionWriter::CFlashPartitionWriter(platform::Platform& platform) : platform_(platform) {}

int CFlashPartitionWriter::WritePartition(std::uint32_t controlCode, const char16_t* inputPath) {
    const std::unique_ptr<platform::DeviceHandle> volume = OpenFlashVolume();
    if (!volume) {
        return 0;
    }
    // The driver finds the end of the path by its terminator, so the declared size is 0.
    const int result = volume->Control(controlCode, inputPath, 0, nullptr, 0, nullptr);
    if (result == 0) {
        ReportLastError(kControlFailure);
    }
    return result;
}

std::u16string CFlashPartitionWriter::ReadFlashFolder() const {
    const platform::RegistryKey profile(platform_.registry, kBinFlashProfileKey);
    return profile.StringValue(kFolderValue, kFolderValueBytes).value_or(std::u16string());
}

std::unique_ptr<platform::DeviceHandle> CFlashPartitionWriter::OpenFlashVolume() {
    const std::u16string folder = ReadFlashFolder();
    if (!folder.empty()) {
        if (auto volume = OpenVolume(u"\\" + folder + std::u16string(kVolumeSuffix))) {
            return volume;
        }
    }
    ReportLastError(kOpenFailure);
    auto volume = OpenVolume(kFallbackVolume);
    if (!volume) {
        ReportLastError(kOpenFailure);
    }
    return volume;
}

std::unique_ptr<platform::DeviceHandle> CFlashPartitionWriter::OpenVolume(std::u16string_view path) {
    return platform_.deviceIo.OpenDevice(path, platform::kGenericRead | platform::kGenericWrite,
                                         platform::kShareExclusive);
}

void CFlashPartitionWriter::ReportLastError(std::u16string_view pattern) {
    platform_.system.DebugPrint(platform::Format(pattern, platform_.system.GetLastError()));
}

}  // namespace velkor::update
