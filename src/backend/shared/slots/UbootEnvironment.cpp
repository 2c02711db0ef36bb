#include "backend/shared/slots/UbootEnvironment.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/UniqueFd.h"

// libuboot.h uses size_t without including its header.
#include <cstddef>
#include <libuboot.h>

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

namespace velkor::shared {
namespace {

// Others may read the lock file, never write it: any program may lock a file it can open.
constexpr mode_t kLockPermissions = 0644;
constexpr std::chrono::milliseconds kLockPoll{50};

struct ContextDeleter {
    void operator()(uboot_ctx* context) const { libuboot_exit(context); }
};
using ContextPointer = std::unique_ptr<uboot_ctx, ContextDeleter>;

// A configured library context; the copies' names live as long as it does.
struct Context {
    std::array<std::string, 2> names;
    ContextPointer pointer;

    uboot_ctx* get() const { return pointer.get(); }
};

// One loaded environment: libuboot_open holds the library's lock until the session ends.
class Session {
public:
    explicit Session(uboot_ctx* context) : context_(context), opened_(libuboot_open(context)) {}
    ~Session() { libuboot_close(context_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Valid() const { return opened_ >= 0; }
    int Result() const { return opened_; }

private:
    uboot_ctx* context_;
    int opened_;
};

std::string ErrorText(int result) { return std::strerror(-result); }

// libubootenv skips its lock when the lock file does not open, and waits for it without end. Velkor
// opens (and makes) the file itself, never through a link, and waits for the lock a bounded time; the
// library then takes it for its session.
void WaitForLock(const std::filesystem::path& lock, std::chrono::milliseconds wait) {
    const UniqueFd fd(::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kLockPermissions));
    if (!fd.IsValid()) {
        throw DeviceError(fmt::format("the boot environment's lock {} cannot be taken ({}): the environment is "
                                      "left alone",
                                      lock, std::strerror(errno)));
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            throw DeviceError(fmt::format("the boot environment's lock {} is held by another program (fw_setenv?) "
                                          "after {} s: the environment is left alone",
                                          lock, std::chrono::duration_cast<std::chrono::seconds>(wait).count()));
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

// Descriptors of the copies opened before a store, so that fsync reports a write-back error of it.
class CopiesFlush {
public:
    explicit CopiesFlush(const EnvironmentCopies& copies) {
        for (std::size_t index = 0; index < copies.size(); ++index) {
            fds_[index] = UniqueFd(::open(copies[index].device.c_str(), O_RDONLY | O_CLOEXEC));
            names_[index] = copies[index].device.string();
        }
    }

    void Flush() const {
        for (std::size_t index = 0; index < fds_.size(); ++index) {
            if (!fds_[index].IsValid() || ::fsync(fds_[index].Get()) != 0) {
                throw DeviceError(fmt::format("the boot environment in {} cannot be flushed to the medium: {}",
                                              names_[index], std::strerror(errno)));
            }
        }
    }

private:
    std::array<UniqueFd, 2> fds_;
    std::array<std::string, 2> names_;
};

// On the heap, so that the names the library was given never move.
std::unique_ptr<Context> Configure(const EnvironmentCopies& copies, const std::filesystem::path& lock,
                                   std::chrono::milliseconds lockWait) {
    for (const EnvironmentCopy& copy : copies) {
        CheckEnvironmentCopy(copy);
    }
    WaitForLock(lock, lockWait);
    uboot_ctx* raw = nullptr;
    if (libuboot_initialize(&raw, nullptr) < 0) {
        throw DeviceError("libubootenv cannot be initialized");
    }
    auto context = std::make_unique<Context>(
        Context{{copies[0].device.string(), copies[1].device.string()}, ContextPointer(raw)});
    std::array<uboot_env_device, 2> devices{};
    for (std::size_t index = 0; index < devices.size(); ++index) {
        devices[index].devname = context->names[index].data();
        devices[index].offset = static_cast<long long>(copies[index].offset);
        devices[index].envsize = copies[index].size;
    }
    const int configured = libuboot_configure(context->get(), devices.data());
    if (configured < 0) {
        throw DeviceError(fmt::format("the boot environment in {} and {} cannot be configured: {}", copies[0].device,
                                      copies[1].device, ErrorText(configured)));
    }
    return context;
}

void SetAll(uboot_ctx* context, const BootVariables& variables) {
    for (const auto& [name, value] : variables) {
        if (libuboot_set_env(context, name.c_str(), value.c_str()) < 0) {
            throw DeviceError(fmt::format("the boot environment cannot take {}={}", name, value));
        }
    }
}

void StoreAll(uboot_ctx* context, const EnvironmentCopies& copies, std::string_view where) {
    const CopiesFlush flush(copies);
    const int stored = libuboot_env_store(context);
    if (stored < 0) {
        throw DeviceError(fmt::format("the boot environment in {} cannot be stored: {}", where, ErrorText(stored)));
    }
    flush.Flush();
}

}  // namespace

void CheckEnvironmentCopy(const EnvironmentCopy& copy) {
    if (copy.offset > UbootEnvironment::kMaxCopyOffset) {
        throw DeviceError(fmt::format("the boot environment copy in {} lies at {:#x}, beyond 2 GiB: libubootenv "
                                      "cannot reach it",
                                      copy.device, copy.offset));
    }
    if (copy.size == 0) {
        throw DeviceError(fmt::format("the boot environment copy in {} has a size of 0", copy.device));
    }
    const UniqueFd fd(::open(copy.device.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        throw DeviceError(
            fmt::format("the boot environment copy {} cannot be opened: {}", copy.device, std::strerror(errno)));
    }
    // A block device's length is where its end is; a file's is its size.
    const off_t length = ::lseek(fd.Get(), 0, SEEK_END);
    if (length < 0 || static_cast<std::uint64_t>(length) < copy.offset + copy.size) {
        throw DeviceError(fmt::format("the boot environment copy {} holds {} bytes, fewer than its offset {} and "
                                      "size {}: the boot loader could read neither copy",
                                      copy.device, length, copy.offset, copy.size));
    }
}

UbootEnvironment::UbootEnvironment(EnvironmentCopies copies, std::filesystem::path lockFile,
                                   std::chrono::milliseconds lockWait)
    : copies_(std::move(copies)), lockFile_(std::move(lockFile)), lockWait_(lockWait) {}

bool UbootEnvironment::HoldsValidEnvironment() {
    const std::unique_ptr<Context> context = Configure(copies_, lockFile_, lockWait_);
    return Session(context->get()).Valid();
}

EnvironmentValues UbootEnvironment::Values(std::span<const std::string_view> names) {
    const std::unique_ptr<Context> context = Configure(copies_, lockFile_, lockWait_);
    const Session session(context->get());
    if (!session.Valid()) {
        throw DeviceError(fmt::format("the boot environment in {} cannot be read: neither copy holds a valid "
                                      "environment ({})",
                                      CopiesText(), ErrorText(session.Result())));
    }
    EnvironmentValues values;
    for (const std::string_view name : names) {
        const std::unique_ptr<char, decltype(&std::free)> value(libuboot_get_env(context->get(), std::string(name).c_str()),
                                                                &std::free);
        if (value) {
            values.emplace(name, value.get());
        }
    }
    return values;
}

void UbootEnvironment::Store(const BootVariables& variables) {
    const std::unique_ptr<Context> context = Configure(copies_, lockFile_, lockWait_);
    const Session session(context->get());
    if (!session.Valid()) {
        throw DeviceError(fmt::format("the boot environment in {} cannot be read, so it is not changed: neither copy "
                                      "holds a valid environment ({})",
                                      CopiesText(), ErrorText(session.Result())));
    }
    SetAll(context->get(), variables);
    StoreAll(context->get(), copies_, CopiesText());
}

void UbootEnvironment::Create(const BootVariables& variables) {
    const std::unique_ptr<Context> context = Configure(copies_, lockFile_, lockWait_);
    const Session session(context->get());
    if (session.Valid()) {
        throw DeviceError(fmt::format("the boot environment in {} already holds an environment: it is left as it is",
                                      CopiesText()));
    }
    SetAll(context->get(), variables);
    // Each store goes to the older copy, so two leave the environment in both.
    StoreAll(context->get(), copies_, CopiesText());
    StoreAll(context->get(), copies_, CopiesText());
}

std::string UbootEnvironment::CopiesText() const {
    return fmt::format("{} and {}", copies_[0].device.string(), copies_[1].device.string());
}

}  // namespace velkor::shared
