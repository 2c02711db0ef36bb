#include "support/FakeDeviceTrust.h"

#include <fmt/format.h>

namespace velkor::test {

std::optional<std::string> FakeDeviceTrust::ReadKeyring() { return settings.hasKeyring ? keyringPem : std::nullopt; }

std::optional<platform::InstalledRelease> FakeDeviceTrust::ReadInstalled() { return installed; }

bool FakeDeviceTrust::RecordInstalled(const platform::InstalledRelease& release) {
    events.push_back(fmt::format("installed-release {} {} -> {}", release.version, release.manifestSha256,
                                 recordFails ? "0 error 5" : "1"));
    if (recordFails) {
        return false;
    }
    installed = release;
    return true;
}

void FakeDeviceTrust::LogCardRefused(std::string_view reason) { events.push_back(fmt::format("card-refused {}", reason)); }

}  // namespace velkor::test
