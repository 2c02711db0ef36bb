#include "velkor-device/DrivenDevice.h"

#include "backend/sim/DeviceFiles.h"
#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<sim::SimPlatform> OpenSimulated(const DeviceChoice& choice) {
    return choice.device ? std::make_unique<sim::SimPlatform>(*choice.device) : nullptr;
}

std::unique_ptr<board::TargetPlatform> OpenReal(const DeviceChoice& choice) {
    return choice.target ? std::make_unique<board::TargetPlatform>(*choice.target) : nullptr;
}

// Where the operator's program takes the lock too: beside a simulated device's files, in a real
// device's log folder.
fs::path LockFolder(const DeviceChoice& choice, const board::TargetPlatform* real) {
    return real ? real->config().logFolder : *choice.device;
}

}  // namespace

DrivenDevice::DrivenDevice(const DeviceChoice& choice)
    : name_(choice.target.value_or(choice.device.value_or(fs::path()))),
      simulated_(OpenSimulated(choice)),
      real_(OpenReal(choice)),
      lock_(LockFolder(choice, real_.get())) {}

platform::Platform& DrivenDevice::Platform() { return real_ ? real_->platform() : simulated_->platform(); }

std::optional<fs::path> DrivenDevice::HostFolder(std::u16string_view folder) const {
    const std::u16string_view name = folder.substr(folder.starts_with(u'\\') ? 1 : 0);
    if (simulated_) {
        return name_ / sim::device_files::kRoot / platform::ToUtf8(name);
    }
    const std::vector<board::FolderMapping>& folders = real_->config().folders;
    const auto found = std::find_if(folders.begin(), folders.end(), [&](const board::FolderMapping& mapping) {
        return platform::EqualsIgnoreCase(mapping.name, name);
    });
    return found != folders.end() ? std::optional(found->host) : std::nullopt;
}

}  // namespace velkor::device_tool
