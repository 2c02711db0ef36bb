#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::sim::test {

// A device directory of its own for one test, removed afterwards: an 800 x 480 device.json
// (with the faults given), the registry text given, and an empty root/.
class TempDevice {
public:
    explicit TempDevice(std::string_view registryText = "", std::string_view faultsJson = "{}");

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path Root() const { return dir_ / "root"; }
    // Writes a host file below the device directory, making its folders.
    void Write(const std::filesystem::path& relative, const std::string& bytes) const;
    std::string Read(const std::filesystem::path& relative) const;

private:
    QTemporaryDir temporary_;
    std::filesystem::path dir_;
};

}  // namespace velkor::sim::test
