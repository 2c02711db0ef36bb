// Times the file picker over a storage card of 10,000 files on a simulated device against `ls -l`
// of the same host folder, in the same run: the row building alone, and the real picker window
// from its creation to its first screen shown and to its whole list (on Qt's offscreen platform
// unless another is chosen).
#include "BenchTiming.h"
#include "platform/StringArray.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "ui/UiStrings.h"
#include "ui/picker/CFilePickerDialog.h"
#include "ui/picker/FileListBuilder.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
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

// The picker opened on the card, as a browse button opens it: the seconds until its first screen
// has been painted, and then until its list holds all `rows`.
std::pair<double, double> OpenPicker(velkor::platform::Platform& platform, const velkor::ui::UiStrings& strings,
                                     std::size_t rows) {
    velkor::ui::CFilePickerDialog picker(platform, strings);
    picker.m_extensions.Append(u"bin");
    QTreeWidget* list = nullptr;
    const double firstScreen = SecondsOf([&] {
        picker.Create();
        picker.show();
        list = picker.findChild<QTreeWidget*>(QString::number(velkor::ui::picker::kFileList));
        list->repaint();
    });
    const double rest = SecondsOf([&] {
        while (static_cast<std::size_t>(list->topLevelItemCount()) < rows) {
            QCoreApplication::processEvents();
        }
        list->repaint();
    });
    return {firstScreen, firstScreen + rest};
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const Options options = ParseOptions(argc, argv);
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::cerr << "velkor_listing_bench: cannot make a scratch folder\n";
        return 1;
    }
    const fs::path device = fs::path(scratch.path().toStdString()) / "device";
    velkor::sim::InitDevice(device, velkor::sim::DeviceOptions{});
    const fs::path folder = device / "root/StorageCard";
    FillFolder(folder, options.files);

    velkor::sim::SimPlatform sim(device);
    const velkor::ui::UiStrings strings;
    velkor::platform::StringArray extensions;
    extensions.Append(u"bin");
    const velkor::ui::FileListBuilder builder(sim.platform().fileSystem, sim.platform().registry, strings, extensions);
    const std::string listing = fmt::format("ls -l '{}' > /dev/null", folder.string());

    std::vector<double> pickerRuns;
    std::vector<double> windowRuns;
    std::vector<double> firstScreenRuns;
    std::vector<double> lsRuns;
    std::size_t rows = 0;
    for (int run = 0; run < options.runs; ++run) {
        pickerRuns.push_back(SecondsOf([&] { rows = builder.Rows(u"\\StorageCard").size(); }));
        const auto [firstScreen, window] = OpenPicker(sim.platform(), strings, rows);
        firstScreenRuns.push_back(firstScreen);
        windowRuns.push_back(window);
        int status = 0;
        lsRuns.push_back(SecondsOf([&] { status = std::system(listing.c_str()); }));
        if (status != 0) {
            std::cerr << "velkor_listing_bench: " << listing << " failed\n";
            return 1;
        }
    }
    const double pickerSeconds = Median(pickerRuns);
    const double windowSeconds = Median(windowRuns);
    const double lsSeconds = Median(lsRuns);
    fmt::print("folder               {} files, {} rows, median of {} runs\n", options.files, rows, options.runs);
    fmt::print("picker rows          {:8.1f} ms\n", pickerSeconds * 1e3);
    fmt::print("picker first screen  {:8.1f} ms   (goal: at most 100 whatever the folder's size)\n",
               Median(firstScreenRuns) * 1e3);
    fmt::print("picker window        {:8.1f} ms   (all {} rows, {:.1f} us a file)\n", windowSeconds * 1e3, rows,
               windowSeconds * 1e6 / options.files);
    fmt::print("ls -l                {:8.1f} ms\n", lsSeconds * 1e3);
    fmt::print("rows / ls            {:8.2f}       (goal: at most 2.00)\n", pickerSeconds / lsSeconds);
    fmt::print("window / ls          {:8.2f}       (goal: at most 2.00 at 10,000 files)\n", windowSeconds / lsSeconds);
    return 0;
}
