#include "app/DeviceLocation.h"

#include "backend/sim/DeviceInit.h"

#include <QCommandLineParser>
#include <QStandardPaths>

namespace velkor::app {

std::optional<DeviceLocation> LocateDevice(const QStringList& arguments, std::string& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velkor device image updater"));
    const QCommandLineOption deviceOption(QStringLiteral("device"),
                                          QStringLiteral("Run on the simulated device in <dir>."),
                                          QStringLiteral("dir"));
    const QCommandLineOption targetOption(QStringLiteral("target"),
                                          QStringLiteral("Run on the real device that <file> describes."),
                                          QStringLiteral("file"));
    parser.addOption(deviceOption);
    parser.addOption(targetOption);

    if (!parser.parse(arguments)) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = "unexpected argument: " + parser.positionalArguments().first().toStdString();
        return std::nullopt;
    }
    if (parser.isSet(targetOption)) {
        if (parser.isSet(deviceOption)) {
            error = "--target and --device name two devices: give one";
            return std::nullopt;
        }
        return DeviceLocation{{}, false, parser.value(targetOption).toStdString()};
    }
    if (parser.isSet(deviceOption)) {
        return DeviceLocation{parser.value(deviceOption).toStdString(), false, std::nullopt};
    }
    if (const QString fromEnvironment = qEnvironmentVariable("VELKOR_DEVICE"); !fromEnvironment.isEmpty()) {
        return DeviceLocation{fromEnvironment.toStdString(), false, std::nullopt};
    }
    const QString dataDirectory = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return DeviceLocation{std::filesystem::path(dataDirectory.toStdString()) / "device", true, std::nullopt};
}

void PrepareDefaultDevice(const std::filesystem::path& directory) {
    if (!std::filesystem::exists(directory / "device.json")) {
        sim::InitDevice(directory, sim::DeviceOptions{});
    }
}

}  // namespace velkor::app
