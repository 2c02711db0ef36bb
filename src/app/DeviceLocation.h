#pragma once

#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::app {

// Which device the updater runs on: the real device a target file describes (--target FILE), or
// a simulated one: --device DIR, else $VELKOR_DEVICE, else the default device in the user's data
// directory, created on first use. Nothing real is touched without --target.
struct DeviceLocation {
    std::filesystem::path directory;
    bool isDefault = false;
    std::optional<std::filesystem::path> targetFile;
};

// Nothing, with `error` set, when the arguments are not understood.
std::optional<DeviceLocation> LocateDevice(const QStringList& arguments, std::string& error);

// Creates the default device when it does not exist yet.
void PrepareDefaultDevice(const std::filesystem::path& directory);

}  // namespace velkor::app
