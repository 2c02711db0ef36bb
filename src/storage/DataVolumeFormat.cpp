#include "storage/DataVolumeFormat.h"

#include "platform/DataVolume.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "platform/StoreProfiles.h"
#include "storage/ProfileName.h"
#include "storage/VolumeInfo.h"

#include <string>

namespace velkor::storage {
namespace {

constexpr std::size_t kProfileNameCapacity = 260;
constexpr std::u16string_view kFormatLibraryName = u"FATUTIL.dll";
constexpr std::u16string_view kFormatEntryName = u"FormatVolume";
// The data volume is always made FAT12, whatever it was before.
constexpr std::uint32_t kFatVersion = 12;

// The first word of a display name "<device name> <profile's name>".
std::u16string FirstToken(std::u16string_view text) {
    const std::size_t start = std::min(text.find_first_not_of(u' '), text.size());
    const std::size_t end = std::min(text.find(u' ', start), text.size());
    return std::u16string(text.substr(start, end - start));
}

class DataVolumeFormatter {
public:
    explicit DataVolumeFormatter(platform::Platform& platform) : platform_(platform) {}

    void Run() {
        platform::StoreInfo store;
        const std::unique_ptr<platform::StoreSearch> stores = platform_.storageManager.FindFirstStore(store);
        if (!stores) {
            return;
        }
        while (!IsFlashStore(store)) {
            if (!stores->FindNext(store)) {
                return;
            }
        }
        FormatStore(store);
    }

private:
    template <typename... Args>
    void Debug(std::u16string_view pattern, Args&&... args) {
        platform_.system.DebugPrint(platform::Format(pattern, std::forward<Args>(args)...));
    }

    bool IsFlashStore(const platform::StoreInfo& store) {
        Debug(u"si.sdi.szProfile = %s\n", store.profile);
        return platform::EqualsIgnoreCase(store.profile, platform::kFlashStoreProfile);
    }

    void FormatStore(const platform::StoreInfo& store) {
        std::u16string profileName;
        const std::u16string displayName =
            ReadProfileName(platform_.registry, store.profile, profileName, kProfileNameCapacity)
                ? store.deviceName + u" " + profileName
                : store.deviceName;
        Debug(u"szDisplayName =%s\n", displayName);
        const std::u16string deviceName = FirstToken(displayName);
        Debug(u"pszDev =%s\n", deviceName);
        const std::unique_ptr<platform::Store> opened = platform_.storageManager.OpenStore(deviceName);
        if (!opened) {
            return;
        }
        platform::PartitionInfo partition;
        const std::unique_ptr<platform::PartitionSearch> partitions = opened->FindFirstPartition(partition);
        if (!partitions) {
            Debug(u"FindFirstPartition FAIL = %d\n", platform_.system.GetLastError());
            return;
        }
        do {
            FormatPartition(*opened, partition);
        } while (partitions->FindNext(partition));
    }

    void FormatPartition(platform::Store& store, const platform::PartitionInfo& partition) {
        Debug(u"szPartName =%s\n", partition.partitionName);
        if (!partition.volumeName.starts_with(platform::kDataVolume)) {
            return;
        }
        FatVolumeInfo info;
        const int haveInfo = GetFatInfo(platform_, info, partition);
        Debug(u"bGetFatinfo = %d,%d\n", haveInfo, platform_.system.GetLastError());
        if (!haveInfo) {
            return;
        }
        // Declared in this order so that the library is freed before the partition is closed.
        const std::unique_ptr<platform::Partition> opened = store.OpenPartition(partition.partitionName);
        if (!opened) {
            return;
        }
        const std::unique_ptr<platform::LoadedLibrary> library =
            platform_.formatLibrary.LoadLibrary(kFormatLibraryName);
        const platform::FormatVolumeEntry formatVolume =
            library ? library->FindFormatVolume(kFormatEntryName) : platform::FormatVolumeEntry();
        if (formatVolume) {
            Reformat(*opened, formatVolume, info);
        }
    }

    void Reformat(platform::Partition& partition, const platform::FormatVolumeEntry& formatVolume,
                  const FatVolumeInfo& info) {
        platform::DiskInfo disk{};
        std::uint32_t bytesReturned = 0;
        if (!partition.Control(platform::DISK_IOCTL_GETINFO, disk.data(), disk.size(), disk.data(), disk.size(),
                               &bytesReturned) ||
            !partition.Dismount()) {
            return;
        }
        const platform::FormatOptions options{
            info.bytesPerSector * info.sectorsPerCluster, info.rootEntries, kFatVersion, info.numberOfFats,
            platform::kFormatFull | platform::kFormatTransactionSafeFat};
        Debug(formatVolume(partition, disk, options) == 0 ? u"Format succeed\n" : u"Format fail\n");
        partition.Mount();
    }

    platform::Platform& platform_;
};

}  // namespace

void FormatDataVolume(platform::Platform& platform) { DataVolumeFormatter(platform).Run(); }

}  // namespace velkor::storage
