#include "backend/sim/TempDevice.h"

#include "support/ProgramRun.h"

#include <fmt/format.h>

namespace velkor::sim::test {

TempDevice::TempDevice(std::string_view registryText, std::string_view faultsJson)
    : dir_(temporary_.path().toStdString()) {
    Write("device.json",
          fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": "0x0409", "faults": {}}})",
                      faultsJson));
    Write("platform.reg", std::string(registryText));
    std::filesystem::create_directory(Root());
}

void TempDevice::Write(const std::filesystem::path& relative, const std::string& bytes) const {
    velkor::test::WriteHostFile(dir_ / relative, bytes);
}

std::string TempDevice::Read(const std::filesystem::path& relative) const {
    return velkor::test::ReadHostFile(dir_ / relative);
}

}  // namespace velkor::sim::test
