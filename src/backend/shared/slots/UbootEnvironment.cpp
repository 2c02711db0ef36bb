#include "backend/shared/slots/UbootEnvironment.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/UniqueFd.h"

// libuboot.h uses size_t without including its header.
#include <cstddef>
#include <libuboot.h>

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace velkor::shared {
namespace {

constexpr mode_t kLockPermissions = 0666;

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

// libubootenv skips its lock when the lock file does not open; then nothing would keep another
// writer out, so the environment is left alone.
void EnsureLockIsReal() {
    const std::string lock(UbootEnvironment::kLockFile);
    const UniqueFd fd(::open(lock.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, kLockPermissions));
    if (!fd.IsValid()) {
        throw DeviceError(fmt::format("the boot environment's lock {} cannot be taken ({}): the environment is "
                                      "left alone",
                                      lock, std::strerror(errno)));
    }
}

// On the heap, so that the names the library was given never move.
std::unique_ptr<Context> Configure(const EnvironmentCopies& copies) {
    for (const EnvironmentCopy& copy : copies) {
        CheckEnvironmentCopy(copy);
    }
    EnsureLockIsReal();
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

void StoreAll(uboot_ctx* context, std::string_view where) {
    const int stored = libuboot_env_store(context);
    if (stored < 0) {
        throw DeviceError(fmt::format("the boot environment in {} cannot be stored: {}", where, ErrorText(stored)));
    }
}

}  // namespace

void CheckEnvironmentCopy(const EnvironmentCopy& copy) {
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

UbootEnvironment::UbootEnvironment(EnvironmentCopies copies) : copies_(std::move(copies)) {}

EnvironmentValues UbootEnvironment::Values(std::span<const std::string_view> names) {
    const std::unique_ptr<Context> context = Configure(copies_);
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
    const std::unique_ptr<Context> context = Configure(copies_);
    const Session session(context->get());
    if (!session.Valid()) {
        throw DeviceError(fmt::format("the boot environment in {} cannot be read, so it is not changed: neither copy "
                                      "holds a valid environment ({})",
                                      CopiesText(), ErrorText(session.Result())));
    }
    SetAll(context->get(), variables);
    StoreAll(context->get(), CopiesText());
}

void UbootEnvironment::Create(const BootVariables& variables) {
    const std::unique_ptr<Context> context = Configure(copies_);
    const Session session(context->get());
    if (session.Valid()) {
        throw DeviceError(fmt::format("the boot environment in {} already holds an environment: it is left as it is",
                                      CopiesText()));
    }
    SetAll(context->get(), variables);
    // Each store goes to the older copy, so two leave the environment in both.
    StoreAll(context->get(), CopiesText());
    StoreAll(context->get(), CopiesText());
}

std::string UbootEnvironment::CopiesText() const {
    return fmt::format("{} and {}", copies_[0].device.string(), copies_[1].device.string());
}

}  // namespace velkor::shared
