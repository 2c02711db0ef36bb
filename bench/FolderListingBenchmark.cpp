// Times the file picker's row building over a folder of 10,000 files on a simulated device
// against `ls -l` of the same host folder, in the same run.
#include "BenchTiming.h"
#include "platform/StringArray.h"
#include "sim/DeviceInit.h"
#include "sim/SimPlatform.h"
#include "ui/UiStrings.h"
#include "ui/picker/FileListBuilder.h"

#include <QTemporaryDir>

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using velkor::bench::Median;
using velkor::bench::SecondsOf;

constexpr int kDefaultFiles = 10000;
constexpr int kDefaultRuns = 11;

struct Options {
    int files = kDefaultFiles;
    int runs = kDefaultRuns;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        if (name == "--files") {
            options.files = std::max(1, std::stoi(argv[index + 1]));
        } else if (name == "--runs") {
            options.runs = std::max(1, std::stoi(argv[index + 1]));
        }
    }
    return options;
}

// Images of the picker's extension, with a tenth of other files that it leaves out.
void FillFolder(const fs::path& folder, int files) {
    fs::create_directories(folder);
    for (int index = 0; index < files; ++index) {
        const char* extension = index % 10 == 9 ? "txt" : "bin";
        std::ofstream(folder / fmt::format("image{:05}.{}", index, extension)) << fmt::format("{:{}}", "", index % 512);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::cerr << "velkor_listing_bench: cannot make a scratch folder\n";
        return 1;
    }
    const fs::path device = fs::path(scratch.path().toStdString()) / "device";
    velkor::sim::InitDevice(device, velkor::sim::DeviceOptions{});
    const fs::path folder = device / "root/StorageCard/Many";
    FillFolder(folder, options.files);

    velkor::sim::SimPlatform sim(device);
    const velkor::ui::UiStrings strings;
    velkor::platform::StringArray extensions;
    extensions.Append(u"bin");
    const velkor::ui::FileListBuilder builder(sim.platform().fileSystem, sim.platform().registry, strings, extensions);
    const std::string listing = fmt::format("ls -l '{}' > /dev/null", folder.string());

    std::vector<double> pickerRuns;
    std::vector<double> lsRuns;
    std::size_t rows = 0;
    for (int run = 0; run < options.runs; ++run) {
        pickerRuns.push_back(SecondsOf([&] { rows = builder.Rows(u"\\StorageCard\\Many").size(); }));
        int status = 0;
        lsRuns.push_back(SecondsOf([&] { status = std::system(listing.c_str()); }));
        if (status != 0) {
            std::cerr << "velkor_listing_bench: " << listing << " failed\n";
            return 1;
        }
    }
    const double pickerSeconds = Median(pickerRuns);
    const double lsSeconds = Median(lsRuns);
    fmt::print("folder               {} files, {} rows, median of {} runs\n", options.files, rows, options.runs);
    fmt::print("picker rows          {:8.1f} ms\n", pickerSeconds * 1e3);
    fmt::print("ls -l                {:8.1f} ms\n", lsSeconds * 1e3);
    fmt::print("rows / ls            {:8.2f}       (goal: at most 2.00)\n", pickerSeconds / lsSeconds);
    return 0;
}
