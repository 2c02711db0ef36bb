#include "BoardFlashBench.h"

#include "BenchTiming.h"
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

constexpr std::size_t kLimitChunkBytes = 8 * 1024 * 1024;
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

// The disk limit's two buffers, made and touched before the driver's memory is measured.
struct LimitBuffers {
    std::vector<char> chunk = std::vector<char>(kLimitChunkBytes, 1);
    std::vector<char> other = std::vector<char>(kLimitChunkBytes, 1);
};

// Reads `count` bytes at `offset` whole.
bool ReadWhole(int fd, std::vector<char>& buffer, std::size_t count, off_t offset) {
    return ::pread(fd, buffer.data(), count, offset) == static_cast<ssize_t>(count);
}

// Copies `length` bytes from one descriptor to the other, chunk by chunk.
bool Copy(int from, int to, std::uint64_t length, LimitBuffers& buffers) {
    for (std::uint64_t offset = 0; offset < length; offset += kLimitChunkBytes) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kLimitChunkBytes, length - offset));
        if (!ReadWhole(from, buffers.chunk, count, static_cast<off_t>(offset))) {
            return false;
        }
        if (::pwrite(to, buffers.chunk.data(), count, static_cast<off_t>(offset)) != static_cast<ssize_t>(count)) {
            return false;
        }
    }
    return true;
}

// Whether the first `length` bytes of both descriptors are equal.
bool Same(int first, int second, std::uint64_t length, LimitBuffers& buffers) {
    for (std::uint64_t offset = 0; offset < length; offset += kLimitChunkBytes) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kLimitChunkBytes, length - offset));
        const bool read = ReadWhole(first, buffers.chunk, count, static_cast<off_t>(offset)) &&
                          ReadWhole(second, buffers.other, count, static_cast<off_t>(offset));
        if (!read || !std::equal(buffers.chunk.begin(), buffers.chunk.begin() + count, buffers.other.begin())) {
            return false;
        }
    }
    return true;
}

// What the disk itself needs for the image: write it, flush it, drop it from the cache, read it
// back and compare.
bool WriteAndVerify(const fs::path& image, const fs::path& region, std::uint64_t length, LimitBuffers& buffers) {
    const shared::UniqueFd in(::open(image.c_str(), O_RDONLY | O_CLOEXEC));
    const shared::UniqueFd out(::open(region.c_str(), O_RDWR | O_CLOEXEC));
    if (!in.IsValid() || !out.IsValid() || !Copy(in.Get(), out.Get(), length, buffers)) {
        return false;
    }
    if (::fdatasync(out.Get()) != 0 || ::posix_fadvise(out.Get(), 0, 0, POSIX_FADV_DONTNEED) != 0) {
        return false;
    }
    return Same(in.Get(), out.Get(), length, buffers);
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
    const std::u16string imagePath = u"\\StorageCard\\" + run.imageName.u16string();
    const fs::path imageFile = run.storageCard / run.imageName;

    LimitBuffers buffers;
    const double idleMiB = PeakMemoryMiB();
    std::vector<double> driverRuns;
    std::vector<double> limitRuns;
    for (int index = 0; index < run.runs; ++index) {
        bool written = false;
        driverRuns.push_back(SecondsOf([&] { written = DriverWrite(driver, imagePath); }));
        bool verified = false;
        limitRuns.push_back(SecondsOf([&] { verified = WriteAndVerify(imageFile, region.Path(), run.imageBytes, buffers); }));
        if (!written || !verified) {
            std::cerr << "velkor_flash_bench: " << (written ? "the disk's own write" : "the driver") << " failed on "
                      << region.Path() << " (last error " << errors.Last() << ")\n";
            return false;
        }
    }
    const double driverSeconds = Median(driverRuns);
    const double limitSeconds = Median(limitRuns);
    const double imageMB = static_cast<double>(run.imageBytes) / 1e6;
    fmt::print("loop-device region   {} over a file in the scratch folder{}\n", region.Path().string(),
               region.DirectIo() ? ", direct I/O" : "");
    fmt::print("driver on the loop   {:8.1f} MB/s  ({:.2f} s: write, flush, read back, compare)\n",
               imageMB / driverSeconds, driverSeconds);
    fmt::print("disk limit           {:8.1f} MB/s  ({:.2f} s: write, flush, drop, read back, compare)\n",
               imageMB / limitSeconds, limitSeconds);
    fmt::print("driver / limit       {:8.2f}       (goal: at least 0.90)\n", limitSeconds / driverSeconds);
    fmt::print("driver peak memory   {:8.1f} MiB above its start (goal: flat)\n", PeakMemoryMiB() - idleMiB);
    return true;
}

}  // namespace velkor::bench
