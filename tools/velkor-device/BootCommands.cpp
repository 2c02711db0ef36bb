#include "velkor-device/BootCommands.h"

#include "backend/board/TargetConfigReader.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/FullWrite.h"
#include "backend/shared/PlainFile.h"
#include "backend/shared/UniqueFd.h"
#include "backend/shared/slots/BootedSlot.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/DeviceEntries.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/SimBootSide.h"
#include "platform/ErrorCodes.h"
#include "velkor-device/EnvironmentDefaults.h"
#include "velkor-device/FileDigest.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kFilePermissions = 0644;

// Where a device's boot side lives, whichever backend it is.
struct BootSide {
    shared::EnvironmentCopies environment;
    fs::path commandLine;
    fs::path eventsLog;
    shared::SlotGroup slotGroup;
    // A simulated device's directory; empty for a target.
    fs::path deviceDir;
};

BootSide OfDevice(const fs::path& directory) {
    sim::CheckDeviceEntries(directory);
    const fs::path configFile = directory / sim::device_files::kConfig;
    const sim::DeviceConfig config = sim::ParseDeviceConfig(sim::ReadDeviceFile(configFile), configFile.string());
    return {sim::EnvironmentCopiesOf(directory, config), sim::CommandLineFileOf(directory),
            directory / sim::device_files::kEventsLog, config.slotGroup, directory};
}

BootSide OfTarget(const fs::path& file) {
    const board::TargetConfig config = board::ReadTargetConfig(file);
    return {config.bootSide.environment, config.bootSide.commandLine, board::EventsLogOf(config), config.slotGroup,
            {}};
}

BootSide Locate(const BootSideRequest& request) {
    BootSide side = request.device ? OfDevice(*request.device) : OfTarget(*request.target);
    if (side.slotGroup.Empty()) {
        throw shared::DeviceError(fmt::format("{} has no two-slot regions, so it has no boot environment to use",
                                              request.device ? *request.device : *request.target));
    }
    return side;
}

// A missing copy file is made at its full size, as the library needs; an existing one is left as it is.
void MakeMissingCopy(const shared::EnvironmentCopy& copy) {
    std::error_code failure;
    if (fs::exists(copy.device, failure)) {
        return;
    }
    const shared::UniqueFd fd =
        shared::OpenPlainFile(AT_FDCWD, copy.device.c_str(), O_WRONLY | O_CREAT | O_EXCL, kFilePermissions);
    if (!fd.IsValid() || ::ftruncate(fd.Get(), static_cast<off_t>(copy.offset + copy.size)) != 0) {
        throw shared::DeviceError(fmt::format("cannot make {}: {}", copy.device, std::strerror(errno)));
    }
}

void Store(shared::BootEnvironment& environment, const shared::BootVariables& variables, const BootSide& side) {
    shared::EventLog events(side.eventsLog);
    try {
        environment.Store(variables);
    } catch (const shared::DeviceError&) {
        events.EnvironmentStore(shared::BootVariablesText(variables), false, platform::error::kInvalidData);
        throw;
    }
    events.EnvironmentStore(shared::BootVariablesText(variables), true, platform::error::kSuccess);
}

std::string StateText(const shared::BootState& state) {
    return fmt::format("BOOT_ORDER=\"{}\" BOOT_A_LEFT={} BOOT_B_LEFT={}", state.OrderText(),
                       state.TriesLeft(shared::Slot::A), state.TriesLeft(shared::Slot::B));
}

// The variables of a new environment's boot state that `present` lacks, in their order.
shared::BootVariables MissingBootVariables(const shared::BootVariables& present) {
    shared::BootVariables missing;
    for (const auto& variable : shared::BootState::InitialVariables()) {
        if (std::ranges::none_of(present, [&](const auto& given) { return given.first == variable.first; })) {
            missing.push_back(variable);
        }
    }
    return missing;
}

// A valid environment is the device's own: only the boot state's missing variables are added.
void AddToValidEnvironment(shared::UbootEnvironment& environment, const BootSide& side, std::ostream& out) {
    const shared::EnvironmentValues values = environment.Values(shared::BootState::kVariables);
    const shared::BootVariables missing = MissingBootVariables({values.begin(), values.end()});
    if (missing.empty()) {
        out << fmt::format("The boot environment in {} and {} already has {}: nothing added.\n",
                           side.environment[0].device, side.environment[1].device,
                           fmt::join(shared::BootState::kVariables, ", "));
        return;
    }
    Store(environment, missing, side);
    out << fmt::format("Added {} to the boot environment in {} and {}; every other variable is kept.\n",
                       shared::BootVariablesText(missing), side.environment[0].device, side.environment[1].device);
}

// Without a valid copy U-Boot boots from its built-in default environment, so a target's new
// environment starts from the defaults the engineer gives; only a simulated device may do without.
void MakeNewEnvironment(shared::UbootEnvironment& environment, const BootSide& side,
                        const std::optional<fs::path>& defaults, shared::BootVariables variables, std::ostream& out) {
    if (!defaults && side.deviceDir.empty()) {
        throw shared::DeviceError(fmt::format(
            "neither copy of the boot environment in {} and {} holds a valid environment, and one made of the "
            "boot variables alone would have no bootcmd: give --defaults FILE (the text `make u-boot-initial-env` "
            "makes for the device's U-Boot, or fw_printenv output of a good device); nothing is written",
            side.environment[0].device, side.environment[1].device));
    }
    const shared::BootVariables missing = MissingBootVariables(variables);
    variables.insert(variables.end(), missing.begin(), missing.end());
    environment.Create(variables);
    shared::EventLog(side.eventsLog)
        .EnvironmentStore(shared::BootVariablesText(missing), true, platform::error::kSuccess);
    out << fmt::format("Made the boot environment in {} and {} from {}, adding {}.\n", side.environment[0].device,
                       side.environment[1].device,
                       defaults ? fmt::format("{} ({} variables)", *defaults, variables.size() - missing.size())
                                : std::string("nothing but the boot variables"),
                       missing.empty() ? std::string("nothing") : shared::BootVariablesText(missing));
}

void EnvInit(const BootSide& side, const std::optional<fs::path>& defaults, std::ostream& out) {
    // Read first, so that a bad defaults file is refused whatever the environment holds.
    shared::BootVariables defaultVariables = defaults ? EnvironmentDefaults::Read(*defaults) : shared::BootVariables{};
    for (const shared::EnvironmentCopy& copy : side.environment) {
        MakeMissingCopy(copy);
    }
    shared::UbootEnvironment environment(side.environment);
    if (environment.HoldsValidEnvironment()) {
        AddToValidEnvironment(environment, side, out);
    } else {
        MakeNewEnvironment(environment, side, defaults, std::move(defaultVariables), out);
    }
    out << fmt::format("The boot state: {}\n", StateText(environment.Read()));
}

// The kernel command line the boot script would pass, recorded in the device directory.
void RecordCommandLine(const fs::path& file, const std::string& commandLine) {
    const shared::UniqueFd fd =
        shared::OpenPlainFile(AT_FDCWD, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, kFilePermissions);
    if (!fd.IsValid() || !shared::WriteFully(fd.Get(), commandLine)) {
        throw shared::DeviceError(fmt::format("cannot record the kernel command line in {}", file));
    }
}

void PrintRegions(const BootSide& side, shared::Slot booted, std::ostream& out) {
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        const bool slotted = side.slotGroup.Contains(region.region);
        const std::string name =
            slotted ? shared::SlotFileName(region, shared::SlotLetter(booted)) : shared::RegionFileName(region);
        const fs::path file = side.deviceDir / sim::device_files::kFlash / name;
        std::error_code failure;
        const std::string digest = fs::exists(file, failure) ? Sha256Of(file) : "(never written)";
        out << fmt::format("  {:<5} {:<9} sha256 {}\n", region.name,
                           slotted ? fmt::format("slot {}", shared::SlotLetter(booted)) : "in place", digest);
    }
}

void Boot(const BootSide& side, std::ostream& out) {
    shared::UbootEnvironment environment(side.environment);
    const shared::BootState state = environment.Read();
    const auto choice = state.ChooseBoot();
    if (!choice) {
        // Nothing booted, so nothing may claim to have: mark-good then refuses.
        std::error_code failure;
        fs::remove(side.commandLine, failure);
        out << fmt::format("No slot has tries left ({}): the boot loader boots nothing and stops at its prompt, "
                           "where the device waits to be recovered.\n",
                           StateText(state));
        throw shared::DeviceError("no slot has tries left: the device does not boot");
    }
    const auto& [slot, variables] = *choice;
    Store(environment, variables, side);
    const std::string commandLine = shared::SlotParameter(slot);
    RecordCommandLine(side.commandLine, commandLine + "\n");
    out << fmt::format("Booted slot {} ({} before the boot, {} after it); the kernel command line has {}.\n",
                       shared::SlotLetter(slot), StateText(state), shared::BootVariablesText(variables), commandLine);
    PrintRegions(side, slot, out);
}

void MarkGood(const BootSide& side, std::ostream& out) {
    const std::optional<shared::Slot> booted = shared::ReadBootedSlot(side.commandLine);
    if (!booted) {
        throw shared::DeviceError(fmt::format("which slot booted cannot be told: {} has no {}; nothing is changed",
                                              side.commandLine, shared::kSlotParameter));
    }
    shared::UbootEnvironment environment(side.environment);
    environment.Read();
    Store(environment, shared::BootState::MarkGoodVariables(*booted), side);
    out << fmt::format("Slot {} booted and is good: {}\n", shared::SlotLetter(*booted), StateText(environment.Read()));
}

}  // namespace

void RunBootSide(const BootSideRequest& request, std::ostream& out) {
    const BootSide side = Locate(request);
    switch (request.command) {
        case BootCommand::EnvInit:
            EnvInit(side, request.defaults, out);
            return;
        case BootCommand::Boot:
            Boot(side, out);
            return;
        case BootCommand::MarkGood:
            MarkGood(side, out);
            return;
    }
}

}  // namespace velkor::device_tool
