#include "InstallBench.h"

#include "BenchTiming.h"
#include "DiskLimit.h"
#include "LoopRegion.h"
#include "RaucInstall.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace velkor::bench {
namespace {

namespace fs = std::filesystem;

// The update sequence's fixed pause before the format, which is the program's design, not its work.
constexpr double kPauseSeconds = 0.3;

// One run of a program: its wall time, exit status, peak memory and the bytes it wrote to storage.
struct ChildRun {
    double seconds = 0;
    bool succeeded = false;
    double peakMiB = 0;
    double bytesWritten = 0;
};

ChildRun RunChild(const std::vector<std::string>& arguments, const fs::path& output) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || ::wait4(child, &status, 0, &usage) != child) {
        return run;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // reported in KiB
    run.bytesWritten = static_cast<double>(usage.ru_oublock) * 512;
    return run;
}

bool Script(const std::string& arguments) {
    return std::system(fmt::format("sh '{}' {}", VELKOR_INSTALL_SCRIPT, arguments).c_str()) == 0;
}

// Every file of the card, so that the install's check reads the image from the disk.
void DropCardFromCache(const fs::path& card) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(card)) {
        if (entry.is_regular_file()) {
            DropFromCache(entry.path());
        }
    }
}

// Where an install runs, and what it and its baselines measured.
struct Setting {
    std::string name;
    // --device or --target, and its path.
    std::string option;
    fs::path device;
    fs::path card;
    fs::path slotB;
    // The boot loader's own defaults, which a target's environment starts from.
    fs::path defaults{};
    const RaucInstall* rauc = nullptr;
    std::vector<double> install{}, limit{}, raucRuns{}, peakMiB{}, bytes{};

    // For the setup script, which splits it in two.
    std::string Where() const { return fmt::format("{} {}", option, device.string()); }
};

// A simulated device whose OS region has two slots of the image's size and that takes only the
// bench CA's cards.
bool MakeSimulatedDevice(const Setting& setting, std::uint64_t imageBytes, const fs::path& keys) {
    const std::string init = fmt::format("'{}' init '{}' >/dev/null", VELKOR_DEVICE_TOOL, setting.device.string());
    if (std::system(init.c_str()) != 0) {
        return false;
    }
    const fs::path config = setting.device / "device.json";
    nlohmann::json document = nlohmann::json::parse(std::ifstream(config));
    document["flashRegions"]["os"] = {{"slots", {imageBytes, imageBytes}}};
    document["trust"] = {{"keyring", "keyring.pem"}, {"compatible", "velkor-bench"}};
    std::ofstream(config) << document.dump(4);
    fs::copy_file(keys / "ca.pem", setting.device / "keyring.pem");
    fs::create_directories(setting.slotB.parent_path());
    std::ofstream(setting.slotB).close();
    fs::resize_file(setting.slotB, imageBytes);
    return Script(fmt::format("boot-a '{}' '{}'", VELKOR_DEVICE_TOOL, setting.Where()));
}

// A target over the two loop devices as OS slots, its environment, and the signed card on its storage card.
bool MakeTarget(const Setting& board, const fs::path& keys, const LoopRegion& slotA, const LoopRegion& slotB,
                const fs::path& image) {
    const fs::path folder = board.device.parent_path();
    fs::create_directories(folder);
    return Script(fmt::format("target '{}' '{}' '{}' '{}' '{}'", folder.string(), VELKOR_DEVICE_TOOL, keys.string(),
                              slotA.Path().string(), slotB.Path().string())) &&
           Script(fmt::format("boot-a '{}' '{}' '{}'", VELKOR_DEVICE_TOOL, board.Where(), board.defaults.string())) &&
           Script(fmt::format("card '{}' '{}' '{}' '{}' '{}'", keys.string(), VELKOR_DEVICE_TOOL, board.Where(),
                              image.string(), board.card.string()));
}

// Once: slot A booted and confirmed, slot B holding another image; then the card's image from the
// disk, timed: Velkor's install, the disk's limit and RAUC's install.
bool RunOnce(Setting& setting, const InstallRun& run, const DiskLimit& limit) {
    if (!Script(fmt::format("boot-a '{}' '{}' '{}'", VELKOR_DEVICE_TOOL, setting.Where(), setting.defaults.string())) ||
        !limit.Write(run.otherImage, setting.slotB, run.imageBytes)) {
        std::cerr << "velkor_flash_bench: slot B of the " << setting.name << " could not be made ready\n";
        return false;
    }
    DropCardFromCache(setting.card);
    DropFromCache(setting.slotB);
    const ChildRun install = RunChild(
        {VELKOR_DEVICE_TOOL, "install", setting.card.string(), setting.option, setting.device.string()},
        run.scratch / "install.log");
    setting.install.push_back(install.seconds - kPauseSeconds);
    setting.peakMiB.push_back(install.peakMiB);
    setting.bytes.push_back(install.bytesWritten);
    DropFromCache(run.image);
    DropFromCache(setting.slotB);
    bool written = false;
    setting.limit.push_back(SecondsOf([&] { written = limit.Write(run.image, setting.slotB, run.imageBytes); }));
    if (setting.rauc) {
        DropFromCache(setting.rauc->Bundle());
        DropFromCache(setting.slotB);
        setting.raucRuns.push_back(SecondsOf([&] { written = setting.rauc->Install() && written; }));
    }
    if (!install.succeeded || !written) {
        std::cerr << "velkor_flash_bench: "
                  << (install.succeeded ? "the disk's limit or RAUC" : "velkor-device install") << " failed on the "
                  << setting.name << "; its output, which goes with the scratch folder:\n"
                  << std::ifstream(run.scratch / "install.log").rdbuf();
    }
    return install.succeeded && written;
}

void Report(const Setting& setting, const InstallRun& run) {
    const double installSeconds = Median(setting.install);
    const double limitSeconds = Median(setting.limit);
    const double imageMB = static_cast<double>(run.imageBytes) / 1e6;
    fmt::print("install, {:<12}{:8.1f} MB/s  ({:.2f} s from the card check to the commit, the {:.1f} s pause "
               "excluded; {:.0f} % of the image written; peak memory {:.1f} MiB)\n",
               setting.name, imageMB / installSeconds, installSeconds, kPauseSeconds,
               100 * Median(setting.bytes) / static_cast<double>(run.imageBytes), Median(setting.peakMiB));
    fmt::print("  disk limit         {:8.1f} MB/s  ({:.2f} s); install / limit {:.2f} (goal: at most 1.15)\n",
               imageMB / limitSeconds, limitSeconds, installSeconds / limitSeconds);
    if (!setting.raucRuns.empty()) {
        fmt::print("  rauc install       {:8.1f} MB/s  ({:.2f} s: signed plain bundle, no read-back); install / rauc "
                   "{:.2f} (goal: at most 1.00)\n",
                   imageMB / Median(setting.raucRuns), Median(setting.raucRuns),
                   installSeconds / Median(setting.raucRuns));
    }
}

}  // namespace

bool RunInstallBench(const InstallRun& run) {
    const fs::path keys = run.scratch / "install-keys";
    fs::create_directories(keys);
    const fs::path device = run.scratch / "install-device";
    // The card is made on the storage card, so that the install copies nothing before its check.
    Setting files{"region files", "--device", device, device / "root/StorageCard", device / "flash/os-b.bin"};
    if (!Script(fmt::format("keys '{}'", keys.string())) || !MakeSimulatedDevice(files, run.imageBytes, keys) ||
        !Script(fmt::format("card '{}' '{}' '{}' '{}' '{}'", keys.string(), VELKOR_DEVICE_TOOL, files.Where(),
                            run.image.string(), files.card.string()))) {
        std::cerr << "velkor_flash_bench: the simulated device or its card could not be made\n";
        return false;
    }
    std::vector<Setting*> settings{&files};
    const bool loops = ::geteuid() == 0 && fs::exists("/dev/loop-control");
    // Without root, losetup sets neither up.
    const LoopRegion slotA(run.scratch / "install-os-a.img", loops ? run.imageBytes : 0);
    const LoopRegion slotB(run.scratch / "install-os-b.img", loops ? run.imageBytes : 0);
    const fs::path target = run.scratch / "install-target";
    Setting board{"loop devices", "--target", target / "target.json", target / "sdcard", slotB.Path(),
                  target / "u-boot-initial-env"};
    std::optional<RaucInstall> rauc;
    if (!loops || slotA.Path().empty() || slotB.Path().empty()) {
        fmt::print("install on loops     skipped: it needs root and loop devices\n");
    } else if (MakeTarget(board, keys, slotA, slotB, run.image)) {
        rauc.emplace(run.scratch / "rauc", slotB.Path(), run.image);
        if (!rauc->Skipped().empty()) {
            fmt::print("rauc install         skipped: {}\n", rauc->Skipped());
        }
        board.rauc = rauc->Skipped().empty() ? &*rauc : nullptr;
        settings.push_back(&board);
    } else {
        std::cerr << "velkor_flash_bench: the target or its card could not be made\n";
        return false;
    }
    const DiskLimit limit;
    for (int index = 0; index < run.runs; ++index) {
        for (Setting* setting : settings) {
            if (!RunOnce(*setting, run, limit)) {
                return false;
            }
        }
    }
    for (const Setting* setting : settings) {
        Report(*setting, run);
    }
    return true;
}

}  // namespace velkor::bench
