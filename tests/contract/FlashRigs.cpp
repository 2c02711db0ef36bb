#include "contract/FlashRigs.h"

#include "backend/board/support/HostCommand.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"
#include "contract/BoardTarget.h"
#include "support/FakeDevices.h"
#include "support/ProgramRun.h"

#include <fmt/format.h>

#include <optional>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kRegistryText = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\BinFLASH]
"Folder"="VKRFlash"
)";

class FakeRig : public FlashRig {
public:
    platform::DeviceIo& Devices() override { return devices_; }
    std::uint32_t LastError() override { return devices_.LastError(); }
    void PutImage(const std::string&, const std::string&) override {}
    std::string OsRegion(std::size_t) override { return {}; }

private:
    FakeDeviceIo devices_;
};

class SimRig : public FlashRig {
public:
    SimRig() : device_(kRegistryText) {
        device_.Write("device.json",
                      fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
                                       "flashRegions": {{"os": {}}}}})",
                                  kOsRegionBytes));
        fs::create_directories(device_.Root() / "Card");
        platform_.emplace(device_.Dir());
    }

    platform::DeviceIo& Devices() override { return platform_->platform().deviceIo; }
    std::uint32_t LastError() override { return platform_->platform().system.GetLastError(); }
    void PutImage(const std::string& name, const std::string& bytes) override {
        WriteHostFile(device_.Root() / "Card" / name, bytes);
    }
    std::string OsRegion(std::size_t bytes) override { return ReadHostPrefix(device_.Dir() / "flash/os.bin", bytes); }

private:
    sim::test::TempDevice device_;
    std::optional<sim::SimPlatform> platform_;
};

// The OS region is a file of random bytes, or a loop device over one.
class BoardRig : public FlashRig {
public:
    explicit BoardRig(bool onLoopDevice) : region_(MakeRegion(onLoopDevice)) {
        if (region_.empty()) {
            return;
        }
        fs::create_directories(folder_.Path() / "card");
        target_.emplace(kRegistryText, json{{"folders", {{"Card", (folder_.Path() / "card").string()}}},
                                            {"flashRegions", {{"os", region_.string()}}}});
    }

    std::string Unavailable() const override {
        return region_.empty() ? "a loop device " + RootDevicesMissing({"/dev/loop-control"}) : std::string();
    }
    platform::DeviceIo& Devices() override { return target_->Target().platform().deviceIo; }
    std::uint32_t LastError() override { return target_->Target().platform().system.GetLastError(); }
    void PutImage(const std::string& name, const std::string& bytes) override {
        WriteHostFile(folder_.Path() / "card" / name, bytes);
    }
    std::string OsRegion(std::size_t bytes) override { return ReadHostPrefix(region_, bytes); }

private:
    fs::path MakeRegion(bool onLoopDevice) {
        const fs::path file = folder_.Path() / "os.region";
        WriteHostFile(file, std::string(kOsRegionBytes, '\xA5'));
        if (!onLoopDevice) {
            return file;
        }
        if (!RootDevicesMissing({"/dev/loop-control"}).empty()) {
            return {};
        }
        return loop_.emplace(file).Path();
    }

    TempFolder folder_;
    std::optional<LoopDevice> loop_;
    fs::path region_;
    std::optional<BoardTarget> target_;
};

}  // namespace

std::vector<RigMaker<FlashRig>> FlashRigs() {
    return {MakerOf<FlashRig, FakeRig>("Fake"), MakerOf<FlashRig, SimRig>("Sim", kFlashDriver),
            {"BoardFile", kFlashDriver, [](Arrangements) { return std::make_unique<BoardRig>(false); }},
            {"BoardLoop", kFlashDriver, [](Arrangements) { return std::make_unique<BoardRig>(true); }}};
}

}  // namespace velkor::test
