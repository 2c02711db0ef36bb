#include "velkor-device/InitTargetCommand.h"

#include "backend/board/TargetConfigReader.h"
#include "backend/shared/DeviceError.h"
#include "backend/sim/DeviceInit.h"
#include "velkor-device/UsageError.h"

#include <fmt/format.h>
#include <fmt/std.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

constexpr std::string_view kRegistryFile = "platform.reg";
// The restart of a target made without --restart-command.
const std::vector<std::string> kHarmlessRestart{"true"};

std::string Absolute(const fs::path& path) { return fs::absolute(path).lexically_normal().string(); }

std::vector<std::string> Words(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> list;
    for (std::string word; words >> word;) {
        list.push_back(word);
    }
    return list;
}

ordered_json Regions(const InitTargetRequest& request) {
    ordered_json regions = ordered_json::object();
    for (const auto& [name, paths] : request.regions) {
        if (paths.size() == 1) {
            regions[name] = Absolute(paths.front());
        } else {
            regions[name] = {{"slots", {Absolute(paths[0]), Absolute(paths[1])}}};
        }
    }
    return regions;
}

bool HasSlots(const InitTargetRequest& request) {
    for (const auto& [name, paths] : request.regions) {
        if (paths.size() == 2) {
            return true;
        }
    }
    return false;
}

// "DEVICE:OFFSET:SIZE", the device itself may hold colons.
ordered_json EnvironmentCopy(const std::string& text) {
    const std::size_t sizeColon = text.rfind(':');
    const std::size_t offsetColon = sizeColon == std::string::npos || sizeColon == 0 ? std::string::npos
                                                                                     : text.rfind(':', sizeColon - 1);
    if (offsetColon == std::string::npos || offsetColon == 0) {
        throw UsageError(
            fmt::format("--env wants DEVICE:OFFSET:SIZE, such as env.img:0x2000:0x2000, not \"{}\"", text));
    }
    return {{"device", Absolute(text.substr(0, offsetColon))},
            {"offset", text.substr(offsetColon + 1, sizeColon - offsetColon - 1)},
            {"size", text.substr(sizeColon + 1)}};
}

}  // namespace

void CheckInitTarget(const InitTargetRequest& request) {
    if (request.data.has_value() != request.dataMount.has_value()) {
        throw UsageError("--data and --data-mount go together: the data partition and where its volume is mounted");
    }
    if (HasSlots(request) != !request.environment.empty() || (!request.environment.empty() &&
                                                              request.environment.size() != 2)) {
        throw UsageError("two-slot regions need the boot environment's two copies (--env twice), and only they do");
    }
    if (request.commandLine && request.environment.empty()) {
        throw UsageError("--command-line goes with two-slot regions: it names the slot that booted");
    }
    if (request.keyring.has_value() != request.compatible.has_value()) {
        throw UsageError("--keyring and --compatible go together: what signs cards for the device, and its family");
    }
}

namespace {

ordered_json Commands(const InitTargetRequest& request) {
    ordered_json commands = ordered_json::object();
    if (request.mountCommand) {
        commands["mount"] = Words(*request.mountCommand);
    }
    if (request.unmountCommand) {
        commands["unmount"] = Words(*request.unmountCommand);
    }
    commands["restart"] = request.restartCommand ? Words(*request.restartCommand) : kHarmlessRestart;
    return commands;
}

ordered_json TargetDocument(const InitTargetRequest& request, const fs::path& registry) {
    ordered_json folders{{"StorageCard", Absolute(request.card)}};
    if (request.nand) {
        folders["NandFlash"] = Absolute(*request.nand);
    }
    ordered_json target{{"registry", Absolute(registry)}, {"folders", folders}, {"flashRegions", Regions(request)}};
    if (!request.environment.empty()) {
        target["bootEnvironment"] = {
            {"copies", {EnvironmentCopy(request.environment[0]), EnvironmentCopy(request.environment[1])}}};
        if (request.commandLine) {
            target["bootEnvironment"]["commandLine"] = Absolute(*request.commandLine);
        }
    }
    target["stores"] = ordered_json::array();
    if (request.data) {
        target["stores"].push_back({{"deviceName", "DSK2:"},
                                    {"profile", "BinFLASH"},
                                    {"partitions",
                                     {{{"name", "Part00"},
                                       {"volume", "\\VKRFlash"},
                                       {"device", Absolute(*request.data)},
                                       {"mountPoint", Absolute(*request.dataMount)}}}}});
    }
    target["commands"] = Commands(request);
    target["log"] = Absolute(request.log);
    if (request.keyring) {
        // A device without two-slot regions records its release beside its log, outside its folders.
        const fs::path record = request.record.value_or(request.log / "installed.json");
        target["trust"] = {{"keyring", Absolute(*request.keyring)},
                           {"compatible", *request.compatible},
                           {"record", Absolute(record)}};
    }
    return target;
}

void WriteNew(const fs::path& file, const std::string& text, bool force) {
    if (fs::exists(file) && !force) {
        throw shared::DeviceError(fmt::format("{} exists; --force replaces it", file));
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        throw shared::DeviceError(fmt::format("cannot write {}", file));
    }
}

}  // namespace

void RunInitTarget(const InitTargetRequest& request, std::ostream& out) {
    const fs::path registry = request.file.parent_path() / kRegistryFile;
    const std::string text = TargetDocument(request, registry).dump(4) + "\n";
    // What is written must read as the program reads it; a mistake is named before any file is.
    board::ParseTargetConfig(text, fs::absolute(request.file));
    WriteNew(registry, sim::RegistryText(), request.force);
    WriteNew(request.file, text, request.force);
    out << fmt::format("wrote {} and its registry {}\n", request.file, registry);
    if (!request.restartCommand) {
        out << "the restart does nothing (\"true\"); on the device itself give --restart-command "
               "'systemctl reboot'\n";
    }
    out << fmt::format("check it on this machine with: velkor-device check-target {}\n", request.file);
}

}  // namespace velkor::device_tool
