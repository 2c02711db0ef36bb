// Times the OS step end to end on a simulated device (streamed write, flush, read-back from disk
// and compare) against `cp` of the same image plus `sync` on the same disk, and reports the step's
// peak memory above idle; then the real device's driver on a loop-device region against the disk's
// own limit on that loop device (BoardFlashBench), and Velkor's whole install against the limit and
// RAUC (InstallBench).
#include "BenchTiming.h"
#include "BoardFlashBench.h"
#include "InstallBench.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "update/ImageSteps.h"

#include <QTemporaryDir>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using velkor::bench::Median;
using velkor::bench::SecondsOf;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kDefaultImageMiB = 256;
constexpr int kDefaultRuns = 5;

struct Options {
    std::uint64_t imageMiB = kDefaultImageMiB;
    int runs = kDefaultRuns;
    fs::path scratchParent = fs::current_path();
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        if (name == "--mib") {
            options.imageMiB = std::stoull(argv[index + 1]);
        } else if (name == "--runs") {
            options.runs = std::max(1, std::stoi(argv[index + 1]));
        } else if (name == "--dir") {
            options.scratchParent = argv[index + 1];
        }
    }
    return options;
}

// Pseudo-random, so that no layer below can compress or deduplicate it; written a chunk at a time.
void WriteImage(const fs::path& path, std::uint64_t bytes, unsigned seed) {
    std::mt19937_64 generator(seed);
    std::vector<std::uint64_t> chunk(kMiB / sizeof(std::uint64_t));
    std::ofstream out(path, std::ios::binary);
    for (std::uint64_t written = 0; written < bytes; written += kMiB) {
        for (std::uint64_t& word : chunk) {
            word = generator();
        }
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(kMiB));
    }
}

void SetOsRegion(const fs::path& device, std::uint64_t bytes) {
    const fs::path config = device / "device.json";
    nlohmann::json document = nlohmann::json::parse(std::ifstream(config));
    document["flashRegions"]["os"] = bytes;
    std::ofstream(config) << document.dump(4);
}

double PeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // reported in KiB
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const std::uint64_t imageBytes = options.imageMiB * kMiB;
    QTemporaryDir scratch(QString::fromStdString((options.scratchParent / "velkor-bench-XXXXXX").string()));
    if (!scratch.isValid()) {
        std::cerr << "velkor_flash_bench: cannot make a scratch folder in " << options.scratchParent << '\n';
        return 1;
    }
    const fs::path device = fs::path(scratch.path().toStdString()) / "device";
    velkor::sim::InitDevice(device, velkor::sim::DeviceOptions{});
    SetOsRegion(device, imageBytes);
    const fs::path image = device / "root/StorageCard/Images/Big.bin";
    WriteImage(image, imageBytes, 1);
    // Every other run writes this one, so that no run finds its chunks in the region already.
    WriteImage(device / "root/StorageCard/Images/Other.bin", imageBytes, 2);
    std::system("sync");

    velkor::sim::SimPlatform sim(device);
    const double idleMiB = PeakMemoryMiB();
    const std::string copy = fmt::format("cp {} {} && sync", Quoted(image), Quoted(device / "copy.bin"));
    std::vector<double> stepRuns;
    std::vector<double> copyRuns;
    for (int run = 0; run < options.runs; ++run) {
        int result = 0;
        stepRuns.push_back(SecondsOf([&] {
            result = velkor::update::WriteImage(sim.platform(), velkor::update::ImageKind::OS,
                                                run % 2 == 0 ? u"\\StorageCard\\Images\\Big.bin"
                                                             : u"\\StorageCard\\Images\\Other.bin");
        }));
        int copyStatus = 0;
        copyRuns.push_back(SecondsOf([&] { copyStatus = std::system(copy.c_str()); }));
        if (result != 1 || copyStatus != 0) {
            std::cerr << "velkor_flash_bench: " << (result != 1 ? "the OS step" : copy) << " failed; see "
                      << device / "debug.log" << '\n';
            return 1;
        }
    }
    const double stepMemoryMiB = PeakMemoryMiB() - idleMiB;
    const double stepSeconds = Median(stepRuns);
    const double copySeconds = Median(copyRuns);

    const double imageMB = static_cast<double>(imageBytes) / 1e6;
    fmt::print("image                {} MiB in {}, median of {} runs\n", options.imageMiB, scratch.path().toStdString(),
               options.runs);
    fmt::print("OS step              {:8.1f} MB/s  ({:.2f} s: write, flush, read back, compare)\n",
               imageMB / stepSeconds, stepSeconds);
    fmt::print("cp + sync            {:8.1f} MB/s  ({:.2f} s)\n", imageMB / copySeconds, copySeconds);
    fmt::print("step / copy          {:8.2f}       (goal: at least 0.50)\n", copySeconds / stepSeconds);
    fmt::print("step peak memory     {:8.1f} MiB above idle (goal: under 32)\n", stepMemoryMiB);
    const bool boardRan = velkor::bench::RunBoardFlashBench(
        {scratch.path().toStdString(), device / "root/StorageCard", "Images/Big.bin", imageBytes, options.runs});
    const bool installRan = boardRan && velkor::bench::RunInstallBench({scratch.path().toStdString(), image,
                                                                        device / "root/StorageCard/Images/Other.bin",
                                                                        imageBytes, options.runs});
    return installRan ? 0 : 1;
}
