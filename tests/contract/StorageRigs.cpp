#include "contract/StorageRigs.h"

#include "backend/board/support/FatVolume.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/StorageDevice.h"
#include "backend/sim/TempDevice.h"
#include "contract/BoardTarget.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/ProgramRun.h"

#include <fmt/format.h>

#include <optional>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::uintmax_t kVolumeBytes = 8 * 1024 * 1024;
constexpr const char* kRegistryText = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\BinFLASH]
"Folder"="VKRFlash"
)";

class FakeRig : public StorageRig {
public:
    FakeRig() : storage_(errors_), formats_(errors_), files_(errors_) {}

    platform::StorageManager& Storage() override { return storage_; }
    platform::FormatLibrary& Formats() override { return formats_; }
    platform::FileSystem& Files() override { return files_; }
    std::uint32_t LastError() override { return errors_.Last(); }

private:
    shared::ErrorState errors_;
    FakeStorageManager storage_;
    FakeFormatLibrary formats_;
    FakeFileSystem files_;
};

class SimRig : public StorageRig {
public:
    SimRig() : device_(kRegistryText) {
        device_.Write("device.json",
                      fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
                                       "stores": [{{"deviceName": "DSK2:", "profile": "BinFLASH", "partitions": [
                                           {{"name": "Part00", "volume": "\\VKRFlash", "folder": "VKRFlash", "fat": {}}}]}}]}})",
                                  sim::test::kFat12));
        device_.Write("root/VKRFlash/old.txt", "old");
        platform_.emplace(device_.Dir());
    }

    platform::StorageManager& Storage() override { return platform_->platform().storageManager; }
    platform::FormatLibrary& Formats() override { return platform_->platform().formatLibrary; }
    platform::FileSystem& Files() override { return platform_->platform().fileSystem; }
    std::uint32_t LastError() override { return platform_->platform().system.GetLastError(); }

private:
    sim::test::TempDevice device_;
    std::optional<sim::SimPlatform> platform_;
};

// The volume is mounted through fusefat before the device starts, as at boot; the device mounts
// and unmounts it with fusefat and fusermount (the kernel here may have no vfat), or, with
// kMountThatDoesNothing, with a mount command that exits with 0 at once.
class BoardRig : public StorageRig {
public:
    explicit BoardRig(Arrangements needs) : volume_(temp_.Path() / "volume.img", kVolumeBytes, "-F 12", MountPoint()) {
        if (!volume_.Unavailable().empty()) {
            return;
        }
        WriteHostFile(MountPoint() / "old.txt", "old");
        const json mount = (needs & kMountThatDoesNothing) != 0 ? json{"true"}
                                                                : json{"fusefat", "-o", "rw+", "{device}", "{mountPoint}"};
        target_.emplace(kRegistryText,
                        json{{"stores",
                              {{{"deviceName", "DSK2:"},
                                {"profile", "BinFLASH"},
                                {"partitions",
                                 {{{"name", "Part00"},
                                   {"volume", "\\VKRFlash"},
                                   {"device", volume_.Device().string()},
                                   {"mountPoint", MountPoint().string()}}}}}}},
                             {"commands", {{"mount", mount}, {"unmount", {"fusermount", "-u", "{mountPoint}"}}}}});
    }

    std::string Unavailable() const override { return volume_.Unavailable(); }
    platform::StorageManager& Storage() override { return target_->Target().platform().storageManager; }
    platform::FormatLibrary& Formats() override { return target_->Target().platform().formatLibrary; }
    platform::FileSystem& Files() override { return target_->Target().platform().fileSystem; }
    std::uint32_t LastError() override { return target_->Target().platform().system.GetLastError(); }

private:
    fs::path MountPoint() const { return temp_.Path() / "VKRFlash"; }

    // Declared first, so that it goes last, once nothing is mounted in it.
    TempFolder temp_;
    FatVolume volume_;
    std::optional<BoardTarget> target_;
};

}  // namespace

std::vector<RigMaker<StorageRig>> StorageRigs() {
    return {MakerOf<StorageRig, FakeRig>("Fake"), MakerOf<StorageRig, SimRig>("Sim", kStore),
            MakerOf<StorageRig, BoardRig>("Board", kStore | kMountThatDoesNothing)};
}

}  // namespace velkor::test
