#include "app/CUpdaterApp.h"
#include "app/DeviceLocation.h"
#include "sim/DeviceError.h"
#include "sim/SimPlatform.h"
#include "ui/UiStrings.h"

#include <QApplication>

#include <exception>
#include <iostream>
#include <memory>

namespace {

constexpr int kUsageError = 2;
constexpr int kDeviceError = 1;

int RunUpdater(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velkor"));

    std::string error;
    const auto location = velkor::app::LocateDevice(QApplication::arguments(), error);
    if (!location) {
        std::cerr << "velkor: " << error << "\nusage: velkor [--device DIR]\n";
        return kUsageError;
    }
    std::unique_ptr<velkor::sim::SimPlatform> device;
    try {
        if (location->isDefault) {
            velkor::app::PrepareDefaultDevice(location->directory);
        }
        // A restart ends the simulated device, and with it the program.
        device = std::make_unique<velkor::sim::SimPlatform>(location->directory, [] { QApplication::exit(0); });
    } catch (const velkor::sim::DeviceError& failure) {
        std::cerr << "velkor: " << failure.what() << '\n';
        return kDeviceError;
    }
    std::cerr << "velkor: running on the device in " << location->directory.string() << '\n';

    velkor::ui::UiStrings strings;
    velkor::app::CUpdaterApp updater(device->platform(), strings);
    updater.InitInstance();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
