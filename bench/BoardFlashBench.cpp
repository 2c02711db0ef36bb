#include "BoardFlashBench.h"

#include "BenchTiming.h"
#include "DiskLimit.h"
#include "LoopRegion.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/board/TargetFileSystem.h"
#include "backend/board/flash/TargetFlashDriver.h"
#include "platform/FlashControlCodes.h"

#include <fmt/format.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

namespace velkor::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::u16string_view kFlashDevice = u"\\VKRFlash\\Vol:";
// What the driver reads to compare before it gives up on an image that differs everywhere.
constexpr std::uint64_t kComparedBytes = 8 * kMiB;

double PeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // reported in KiB
}

// Sectors of 512 bytes the block device wrote since it was set up (/sys/block/NAME/stat).
std::uint64_t SectorsWritten(const fs::path& device) {
    std::ifstream stat(fs::path("/sys/block") / device.filename() / "stat");
    std::array<std::uint64_t, 7> fields{};
    for (std::uint64_t& field : fields) {
        stat >> field;
    }
    return fields[6];
}

// A copy of `source` with one byte changed in every `every`-th MiB, made a MiB at a time.
void WriteChangedCopy(const fs::path& source, const fs::path& copy, std::uint64_t every) {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(copy, std::ios::binary);
    std::vector<char> chunk(kMiB);
    for (std::uint64_t index = 0; in.read(chunk.data(), kMiB) || in.gcount() > 0; ++index) {
        const auto count = static_cast<std::size_t>(in.gcount());
        if (index % every == 0) {
            chunk[count / 2] = static_cast<char>(~chunk[count / 2]);
        }
        out.write(chunk.data(), static_cast<std::streamsize>(count));
    }
}

// The OS image code through the driver, as the flash writer sends it.
bool DriverWrite(board::TargetFlashDriver& driver, const std::u16string& imagePath) {
    const std::unique_ptr<platform::DeviceHandle> flash = driver.Open(std::u16string(kFlashDevice));
    return flash && flash->Control(platform::IOCTL_FLASH_WRITE_OS, imagePath.c_str(), 0, nullptr, 0, nullptr) == 1;
}

}  // namespace

bool RunBoardFlashBench(const BoardFlashRun& run) {
    if (::geteuid() != 0 || !fs::exists("/dev/loop-control")) {
        fmt::print("loop-device region   skipped: it needs root and loop devices\n");
        return true;
    }
    const LoopRegion region(run.scratch / "region.img", run.imageBytes);
    if (region.Path().empty()) {
        fmt::print("loop-device region   skipped: losetup set up no loop device\n");
        return true;
    }
    shared::ErrorState errors;
    shared::DismountedFolders dismounted;
    const std::vector<board::FolderMapping> folders{{u"StorageCard", run.storageCard}};
    board::TargetFileSystem fileSystem(folders, dismounted, errors);
    shared::EventLog events(run.scratch / "events.log");
    shared::CardApproval noCard;
    board::TargetFlashDriver driver({fs::path(), fs::path(), region.Path(), fs::path()}, fileSystem, noCard, errors,
                                    events, [](std::string_view) {});
    const fs::path card = run.storageCard;
    const fs::path tenth = run.imageName.parent_path() / "Tenth.bin";
    const fs::path everywhere = run.imageName.parent_path() / "Everywhere.bin";
    WriteChangedCopy(card / run.imageName, card / tenth, 10);
    WriteChangedCopy(card / run.imageName, card / everywhere, 1);
    ::sync();
    // Writes `name` from a cold cache; answers the seconds and the bytes the loop device wrote.
    const auto driverRun = [&](const fs::path& name, std::vector<double>& seconds, std::vector<double>& bytes) {
        DropFromCache(card / name);
        DropFromCache(region.Path());
        const std::uint64_t sectorsBefore = SectorsWritten(region.Path());
        bool written = false;
        seconds.push_back(SecondsOf([&] { written = DriverWrite(driver, u"\\StorageCard\\" + name.u16string()); }));
        bytes.push_back(static_cast<double>(SectorsWritten(region.Path()) - sectorsBefore) * 512);
        return written;
    };

    const DiskLimit limit;
    const double idleMiB = PeakMemoryMiB();
    std::vector<double> driverRuns, driverBytes, tenthRuns, tenthBytes, limitRuns, compareRuns;
    std::vector<double> untimed;
    for (int index = 0; index < run.runs; ++index) {
        // The region holds nothing yet or the card's image, which differs from this one everywhere.
        bool written = driverRun(everywhere, driverRuns, driverBytes);
        DropFromCache(card / run.imageName);
        bool verified = false;
        limitRuns.push_back(
            SecondsOf([&] { verified = limit.Write(card / run.imageName, region.Path(), run.imageBytes); }));
        compareRuns.push_back(limit.ReadSeconds(region.Path(), kComparedBytes));
        // Now the region holds the card's image, which differs from this one in a tenth of its chunks.
        written = written && driverRun(tenth, tenthRuns, tenthBytes) &&
                  driverRun(run.imageName, untimed, untimed);
        if (!written || !verified || compareRuns.back() < 0) {
            std::cerr << "velkor_flash_bench: " << (written ? "the disk's own write" : "the driver") << " failed on "
                      << region.Path() << " (last error " << errors.Last() << ")\n";
            return false;
        }
    }
    const double driverSeconds = Median(driverRuns);
    const double limitSeconds = Median(limitRuns);
    const double tenthSeconds = Median(tenthRuns);
    const double imageMB = static_cast<double>(run.imageBytes) / 1e6;
    fmt::print("loop-device region   {} over a file in the scratch folder{}, caches dropped before each run\n",
               region.Path().string(), region.DirectIo() ? ", direct I/O" : "");
    fmt::print("driver on the loop   {:8.1f} MB/s  ({:.2f} s: write, flush, read back, compare; {:.0f} % written)\n",
               imageMB / driverSeconds, driverSeconds, 100 * Median(driverBytes) / static_cast<double>(run.imageBytes));
    fmt::print("disk limit           {:8.1f} MB/s  ({:.2f} s: read the card once, direct write, direct read-back)\n",
               imageMB / limitSeconds, limitSeconds);
    fmt::print("driver / limit       {:8.2f}       (goal: at most 1.15 times the limit's time)\n",
               driverSeconds / limitSeconds);
    fmt::print("a tenth changed      {:8.2f} s     ({:.1f} % of the image written, goal at most 12; {:.2f} of a full "
               "write, goal at most 0.50)\n",
               tenthSeconds, 100 * Median(tenthBytes) / static_cast<double>(run.imageBytes),
               tenthSeconds / driverSeconds);
    fmt::print("comparing            {:8.3f} s     (an 8 MiB direct read, what the driver compares before it gives up "
               "on an image that differs everywhere: {:.1f} % of a full write, goal at most 5)\n",
               Median(compareRuns), 100 * Median(compareRuns) / driverSeconds);
    fmt::print("driver peak memory   {:8.1f} MiB above its start (goal: flat)\n", PeakMemoryMiB() - idleMiB);
    return true;
}

}  // namespace velkor::bench
