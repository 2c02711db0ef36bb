#include "app/CUpdaterApp.h"
#include "app/CommandLineHelp.h"
#include "app/DeviceLocation.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/DeviceLock.h"
#include "backend/sim/SimPlatform.h"
#include "backend/board/TargetPlatform.h"
#include "ui/UiStrings.h"

#include <QApplication>

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string_view>

namespace {

constexpr int kUsageError = 2;
constexpr int kDeviceError = 1;

// The platform the program runs on, and whatever owns it.
struct Device {
    std::unique_ptr<velkor::sim::SimPlatform> simulated;
    std::unique_ptr<velkor::board::TargetPlatform> real;
    // Held while the program runs: an install from the command line waits its turn.
    std::unique_ptr<velkor::shared::DeviceLock> lock;

    velkor::platform::Platform& Platform() { return real ? real->platform() : simulated->platform(); }
};

// Throws shared::DeviceError when the device cannot be used.
Device OpenDevice(const velkor::app::DeviceLocation& location) {
    Device device;
    if (location.targetFile) {
        device.real = std::make_unique<velkor::board::TargetPlatform>(*location.targetFile);
        device.lock = std::make_unique<velkor::shared::DeviceLock>(device.real->config().logFolder);
        std::cerr << "velkor: running on the device that " << location.targetFile->string() << " describes\n";
        return device;
    }
    if (location.isDefault) {
        velkor::app::PrepareDefaultDevice(location.directory);
    }
    // A restart ends the simulated device, and with it the program.
    device.simulated =
        std::make_unique<velkor::sim::SimPlatform>(location.directory, [] { QApplication::exit(0); });
    device.lock = std::make_unique<velkor::shared::DeviceLock>(location.directory);
    std::cerr << "velkor: running on the device in " << location.directory.string() << '\n';
    return device;
}

int RunUpdater(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velkor"));

    std::string error;
    const auto location = velkor::app::LocateDevice(QApplication::arguments(), error);
    if (!location) {
        std::cerr << "velkor: " << error << '\n' << velkor::app::kUsage;
        return kUsageError;
    }
    Device device;
    try {
        device = OpenDevice(*location);
    } catch (const velkor::shared::DeviceError& failure) {
        std::cerr << "velkor: " << failure.what() << '\n';
        return kDeviceError;
    }

    velkor::ui::UiStrings strings;
    velkor::app::CUpdaterApp updater(device.Platform(), strings);
    updater.InitInstance();
    return 0;
}

// --help and --version need no display, so they are answered before the application connects to one.
bool Asks(int argc, char** argv, std::initializer_list<std::string_view> options) {
    return std::any_of(argv + 1, argv + argc, [&](const char* argument) {
        return std::find(options.begin(), options.end(), std::string_view(argument)) != options.end();
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (Asks(argc, argv, {"--help", "-h"})) {
        std::cout << velkor::app::kUsage << '\n' << velkor::app::kHelp;
        return 0;
    }
    if (Asks(argc, argv, {"--version"})) {
        std::cout << "velkor " << VELKOR_VERSION << '\n';
        return 0;
    }
    // Whatever escapes ends the program with one line and a failure status, never an abort.
    try {
        return RunUpdater(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "velkor: " << failure.what() << '\n';
    } catch (...) {
        std::cerr << "velkor: stopped by an unexpected failure\n";
    }
    return kDeviceError;
}
