#include "contract/StorageRigs.h"

#include "backend/board/support/FuseFatMount.h"
#include "backend/board/support/HostCommand.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/StorageDevice.h"
#include "backend/sim/TempDevice.h"
#include "contract/BoardTarget.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/ProgramRun.h"

#include <fmt/format.h>

#include <unistd.h>

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
    explicit BoardRig(Arrangements needs) {
        unavailable_ = MakeVolume();
        if (!unavailable_.empty()) {
            return;
        }
        const json mount = (needs & kMountThatDoesNothing) != 0 ? json{"true"} : json{"fusefat", "-o", "rw+", "{device}", "{mountPoint}"};
        target_.emplace(kRegistryText,
                        json{{"stores",
                              {{{"deviceName", "DSK2:"},
                                {"profile", "BinFLASH"},
                                {"partitions",
                                 {{{"name", "Part00"},
                                   {"volume", "\\VKRFlash"},
                                   {"device", loop_->Path().string()},
                                   {"mountPoint", MountPoint().string()}}}}}}},
                             {"commands", {{"mount", mount}, {"unmount", {"fusermount", "-u", "{mountPoint}"}}}}});
    }

    std::string Unavailable() const override { return unavailable_; }
    platform::StorageManager& Storage() override { return target_->Target().platform().storageManager; }
    platform::FormatLibrary& Formats() override { return target_->Target().platform().formatLibrary; }
    platform::FileSystem& Files() override { return target_->Target().platform().fileSystem; }
    std::uint32_t LastError() override { return target_->Target().platform().system.GetLastError(); }

private:
    fs::path MountPoint() const { return temp_.Path() / "VKRFlash"; }

    std::string MakeVolume() {
        if (::geteuid() != 0 || !fs::exists("/dev/loop-control") || !fs::exists("/dev/fuse")) {
            return "loop devices and FUSE need root, /dev/loop-control and /dev/fuse";
        }
        const fs::path image = temp_.Path() / "volume.img";
        WriteHostFile(image, "");
        fs::resize_file(image, kVolumeBytes);
        if (!RunHostCommand("mkfs.fat -F 12 " + ShellQuoted(image.string()))) {
            return "mkfs.fat (dosfstools) is missing";
        }
        if (loop_.emplace(image).Path().empty()) {
            return "losetup set up no loop device";
        }
        if (!mount_.emplace(loop_->Path(), MountPoint()).IsMounted()) {
            return "fusefat did not mount the loop device";
        }
        WriteHostFile(MountPoint() / "old.txt", "old");
        return {};
    }

    // Declared first, so that it goes last, once nothing is mounted in it.
    TempFolder temp_;
    std::optional<LoopDevice> loop_;
    // Unmounts whatever is mounted on the mount point when it goes.
    std::optional<FuseFatMount> mount_;
    std::string unavailable_;
    std::optional<BoardTarget> target_;
};

}  // namespace

std::vector<RigMaker<StorageRig>> StorageRigs() {
    return {MakerOf<StorageRig, FakeRig>("Fake"), MakerOf<StorageRig, SimRig>("Sim", kStore),
            MakerOf<StorageRig, BoardRig>("Board", kStore | kMountThatDoesNothing)};
}

}  // namespace velkor::test
