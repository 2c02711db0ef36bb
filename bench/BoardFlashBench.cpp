#include "BoardFlashBench.h"

#include "BenchTiming.h"
#include "RaucInstall.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/UniqueFd.h"
#include "backend/board/TargetFileSystem.h"
#include "backend/board/flash/TargetFlashDriver.h"
#include "platform/FlashControlCodes.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::size_t kLimitChunkBytes = 8 * kMiB;
constexpr std::size_t kDirectAlignment = 4096;
constexpr std::u16string_view kFlashDevice = u"\\VKRFlash\\Vol:";

double PeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // reported in KiB
}

// The first line `command` prints; nothing when it fails.
std::optional<std::string> FirstLineOf(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 256> line{};
    if (!pipe || !std::fgets(line.data(), line.size(), pipe.get())) {
        return std::nullopt;
    }
    std::string text(line.data());
    text.erase(text.find_last_not_of('\n') + 1);
    return ::pclose(pipe.release()) == 0 ? std::optional(text) : std::nullopt;
}

// A loop device over a sparse file of the scratch folder, with direct I/O where the disk allows it,
// so that the region's pages are not cached twice; detached when the object goes.
class LoopRegion {
public:
    LoopRegion(const fs::path& file, std::uint64_t bytes) {
        std::ofstream(file).close();
        fs::resize_file(file, bytes);
        const std::string quoted = fmt::format("'{}'", file.string());
        std::optional<std::string> device = FirstLineOf("losetup --direct-io=on -f --show " + quoted + " 2>/dev/null");
        directIo_ = device.has_value();
        device = device ? device : FirstLineOf("losetup -f --show " + quoted + " 2>/dev/null");
        path_ = device.value_or("");
    }
    ~LoopRegion() {
        if (!path_.empty()) {
            std::system(fmt::format("losetup -d {}", path_.string()).c_str());
        }
    }
    LoopRegion(const LoopRegion&) = delete;
    LoopRegion& operator=(const LoopRegion&) = delete;

    const fs::path& Path() const { return path_; }
    bool DirectIo() const { return directIo_; }

private:
    fs::path path_;
    bool directIo_ = false;
};

// An aligned buffer for direct I/O, made and touched before the driver's memory is measured.
class DirectBuffer {
public:
    DirectBuffer() : data_(static_cast<char*>(std::aligned_alloc(kDirectAlignment, kLimitChunkBytes))) {
        std::fill_n(data_.get(), kLimitChunkBytes, 1);
    }
    char* Data() const { return data_.get(); }

private:
    struct Free {
        void operator()(char* data) const { std::free(data); }
    };
    std::unique_ptr<char, Free> data_;
};

// Drops `path`'s pages from the host's cache, so the next run reads it from the disk.
void DropFromCache(const fs::path& path) {
    const shared::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.IsValid()) {
        ::fdatasync(fd.Get());
        ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
    }
}

// The disk's limit for the job: one read of the card's image, a direct write of it and a direct
// read-back, in 8 MiB requests; the read-back is not compared, which costs the limit nothing.
bool DiskLimit(const fs::path& image, const fs::path& region, std::uint64_t length, const DirectBuffer& buffer) {
    const shared::UniqueFd in(::open(image.c_str(), O_RDONLY | O_CLOEXEC));
    const shared::UniqueFd out(::open(region.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC));
    if (!in.IsValid() || !out.IsValid()) {
        return false;
    }
    for (const bool writing : {true, false}) {
        for (std::uint64_t offset = 0; offset < length; offset += kLimitChunkBytes) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kLimitChunkBytes, length - offset));
            const auto at = static_cast<off_t>(offset);
            const bool done = writing ? ::pread(in.Get(), buffer.Data(), count, at) == static_cast<ssize_t>(count) &&
                                            ::pwrite(out.Get(), buffer.Data(), count, at) == static_cast<ssize_t>(count)
                                      : ::pread(out.Get(), buffer.Data(), count, at) == static_cast<ssize_t>(count);
            if (!done) {
                return false;
            }
        }
        if (writing && ::fdatasync(out.Get()) != 0) {
            return false;
        }
    }
    return true;
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

    const RaucInstall rauc(run.scratch / "rauc", region.Path(), card / run.imageName);
    if (!rauc.Skipped().empty()) {
        fmt::print("rauc install         skipped: {}\n", rauc.Skipped());
    }
    DirectBuffer buffer;
    const double idleMiB = PeakMemoryMiB();
    std::vector<double> driverRuns, driverBytes, tenthRuns, tenthBytes, limitRuns;
    std::vector<double> raucRuns;
    std::vector<double> untimed;
    for (int index = 0; index < run.runs; ++index) {
        // The region holds nothing yet or the card's image, which differs from this one everywhere.
        bool written = driverRun(everywhere, driverRuns, driverBytes);
        DropFromCache(card / run.imageName);
        bool verified = false;
        limitRuns.push_back(
            SecondsOf([&] { verified = DiskLimit(card / run.imageName, region.Path(), run.imageBytes, buffer); }));
        if (rauc.Skipped().empty()) {
            DropFromCache(rauc.Bundle());
            DropFromCache(region.Path());
            raucRuns.push_back(SecondsOf([&] { verified = rauc.Install() && verified; }));
        }
        // Now the region holds the card's image, which differs from this one in a tenth of its chunks.
        written = written && driverRun(tenth, tenthRuns, tenthBytes) &&
                  driverRun(run.imageName, untimed, untimed);
        if (!written || !verified) {
            std::cerr << "velkor_flash_bench: " << (verified ? "the driver" : "the disk's own write or RAUC") << " failed on "
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
    if (!raucRuns.empty()) {
        fmt::print("rauc install         {:8.1f} MB/s  ({:.2f} s: signed plain bundle, signature checked, no read-back)\n",
                   imageMB / Median(raucRuns), Median(raucRuns));
        fmt::print("driver / rauc        {:8.2f}       (goal: at most 1.00 times RAUC's time)\n",
                   driverSeconds / Median(raucRuns));
    }
    fmt::print("a tenth changed      {:8.2f} s     ({:.1f} % of the image written, goal at most 12; {:.2f} of a full "
               "write, goal at most 0.50)\n",
               tenthSeconds, 100 * Median(tenthBytes) / static_cast<double>(run.imageBytes), tenthSeconds / driverSeconds);
    fmt::print("driver peak memory   {:8.1f} MiB above its start (goal: flat)\n", PeakMemoryMiB() - idleMiB);
    return true;
}

}  // namespace velkor::bench
