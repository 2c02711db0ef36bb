// Times a whole update of the images a card's AutoUpdate folder chooses (boot loader 1 MiB, two
// screen-sized logos, OS and App 64 MiB each) on a simulated device, in the real main window on
// Qt's offscreen platform, against the physical limit of the same bytes on the same disk: each
// image written, flushed, dropped from the cache and read back, plus the pause the update itself
// makes before its format.
#include "BenchTiming.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/MainWindowTemplate.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "ui/UiStrings.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fmt/format.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using velkor::bench::Median;
using velkor::bench::SecondsOf;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr int kDefaultRuns = 3;
// The update's own pause before it formats the data volume.
constexpr double kUpdatePauseSeconds = 0.3;

struct CardImage {
    const char* name;
    std::uint64_t bytes;  // 0: the screen-sized logo `init` made
    const char* region;   // its flash region; null for the second logo, which is copied
};
constexpr std::array<CardImage, 5> kCardImages{{
    {"Eboot.nb0", 1 * kMiB, "boot.bin"},
    {"Logo1.bmp", 0, "logo.bin"},
    {"logo2.bmp", 0, nullptr},
    {"NK.bin", 64 * kMiB, "os.bin"},
    {"NAPP.bin", 64 * kMiB, "app.bin"},
}};

std::string PseudoRandomBytes(std::uint64_t bytes, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::string data(bytes, '\0');
    for (char& byte : data) {
        byte = static_cast<char>(generator());
    }
    return data;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the disk itself needs for one image: write, flush, drop from the cache, read back, compare.
// Written in place over the previous run's file, as a flash region is programmed.
bool WriteAndVerify(const fs::path& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::string back(bytes.size(), '\0');
    const bool verified = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                          ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 &&
                          ::pread(fd, back.data(), back.size(), 0) == static_cast<ssize_t>(back.size()) &&
                          back == bytes;
    ::close(fd);
    return verified;
}

// One update through the Update button; the final message is closed as soon as it shows.
double TimeUpdate(velkor::mainwnd::CUpdateDialog& window) {
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    auto* update = window.findChild<QPushButton*>(QString::number(velkor::mainwnd::control::kUpdate));
    return SecondsOf([&] { update->click(); });
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int runs = argc > 2 && std::string(argv[1]) == "--runs" ? std::max(1, std::stoi(argv[2])) : kDefaultRuns;
    QTemporaryDir scratch(QString::fromStdString((fs::current_path() / "velkor-bench-XXXXXX").string()));
    if (!scratch.isValid()) {
        std::cerr << "velkor_update_bench: cannot make a scratch folder in " << fs::current_path() << '\n';
        return 1;
    }
    const fs::path device = fs::path(scratch.path().toStdString()) / "device";
    velkor::sim::InitDevice(device, velkor::sim::DeviceOptions{.autoUpdate = true});
    const fs::path card = device / "root/StorageCard/AutoUpdate";
    std::vector<std::string> images;
    for (const CardImage& image : kCardImages) {
        if (image.bytes != 0) {
            std::ofstream(card / image.name, std::ios::binary) << PseudoRandomBytes(image.bytes, images.size() + 1);
        }
        images.push_back(ReadAll(card / image.name));
    }

    velkor::sim::SimPlatform sim(device);
    const velkor::ui::UiStrings strings;
    velkor::mainwnd::CUpdateDialog window(sim.platform(), strings);
    window.Create();
    window.show();
    // The same sequence the card's timer would start, run at once and as often as measured.
    window.findChild<QTimer*>(QStringLiteral("timer 0x%1").arg(velkor::mainwnd::TIMER_AUTO_UPDATE, 0, 16))->stop();
    std::vector<double> updateRuns;
    std::vector<double> limitRuns;
    for (int run = 0; run < runs; ++run) {
        // Fresh regions, so that no run finds the images in place already and skips their writes.
        for (const CardImage& image : kCardImages) {
            if (image.region) {
                fs::remove(device / "flash" / image.region);
            }
        }
        updateRuns.push_back(TimeUpdate(window));
        bool verified = true;
        limitRuns.push_back(SecondsOf([&] {
            for (std::size_t index = 0; index < images.size(); ++index) {
                const fs::path file = fs::path(scratch.path().toStdString()) / fmt::format("limit{}.bin", index);
                verified = WriteAndVerify(file, images[index]) && verified;
            }
        }));
        if (!verified) {
            std::cerr << "velkor_update_bench: the disk did not give back what was written\n";
            return 1;
        }
    }
    for (std::size_t index = 0; index < kCardImages.size(); ++index) {
        if (kCardImages[index].region && ReadAll(device / "flash" / kCardImages[index].region) != images[index]) {
            std::cerr << "velkor_update_bench: " << kCardImages[index].name << " did not reach the flash; see "
                      << device / "debug.log" << '\n';
            return 1;
        }
    }
    const double updateSeconds = Median(updateRuns);
    const double limitSeconds = Median(limitRuns) + kUpdatePauseSeconds;
    fmt::print("update               5 images, 131 MiB and two logos, median of {} runs\n", runs);
    fmt::print("whole update         {:8.2f} s\n", updateSeconds);
    fmt::print("disk limit + pause   {:8.2f} s   (write, flush, read back each image; {:.1f} s pause)\n",
               limitSeconds, kUpdatePauseSeconds);
    fmt::print("update / limit       {:8.2f}       (goal: at most 1.20)\n", updateSeconds / limitSeconds);
    return 0;
}
