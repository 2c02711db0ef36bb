#include "backend/shared/LogFile.h"

#include "backend/shared/FullWrite.h"
#include "backend/shared/PlainFile.h"

#include <fmt/chrono.h>
#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <iostream>

namespace velkor::shared {
namespace {

constexpr mode_t kLogPermissions = 0644;

// A file just made lasts a power cut only once its folder's entry is on the medium too.
void SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd handle(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.IsValid()) {
        ::fsync(handle.Get());
    }
}

}  // namespace

LogFile::LogFile(std::filesystem::path path) : path_(std::move(path)) {}

void LogFile::WriteLine(std::string_view text) {
    if (!EnsureOpen()) {
        return;
    }
    const std::string line = fmt::format("{} {}\n", Timestamp(std::chrono::system_clock::now()), text);
    // One write a line, appended whole; a line the disk cannot take is lost, as a log line may be.
    if (!WriteFully(file_.Get(), line)) {
        return;
    }
    // On the medium before the program goes on: after a power cut the log still tells what was
    // done up to it.
    ::fdatasync(file_.Get());
}

std::string LogFile::Timestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    return fmt::format("{:%Y-%m-%d %H:%M:%S}.{:03d}", local, milliseconds);
}

bool LogFile::EnsureOpen() {
    if (file_.IsValid() || openFailed_) {
        return file_.IsValid();
    }
    file_ = OpenPlainFile(AT_FDCWD, path_.c_str(), O_WRONLY | O_APPEND | O_CREAT, kLogPermissions);
    if (file_.IsValid()) {
        SyncFolder(path_.parent_path());
        return true;
    }
    // Said once: logging must not stop the device, and a line per attempt would drown stderr.
    openFailed_ = true;
    std::cerr << fmt::format("velkor: cannot write {}; its lines are dropped\n", path_);
    return false;
}

}  // namespace velkor::shared
