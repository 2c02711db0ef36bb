#include "backend/shared/EventLog.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::shared {
namespace {

// The export of the core system library that the hot key's delayed action calls.
constexpr int kCoreServiceNumber = 877;

std::string AnswerText(bool done, std::uint32_t error) { return done ? "1" : fmt::format("0 error {}", error); }

}  // namespace

std::string PathInputText(const std::optional<std::u16string>& path) {
    if (!path) {
        return "null";
    }
    std::string text = "\"";
    for (const char c : platform::ToUtf8(*path)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7F ? fmt::format("\\x{:02X}", byte) : std::string(1, c);
    }
    return text + "\"";
}

std::string BufferInputText(bool hasInput) { return hasInput ? "buffer" : "null"; }

EventLog::EventLog(std::filesystem::path path) : file_(std::move(path)) {}

void EventLog::DeviceControl(std::string_view device, std::uint32_t code, std::string_view inputText,
                             std::uint32_t inputSize, bool done, std::uint32_t error) {
    file_.WriteLine(fmt::format("device-control {} 0x{:08X} {} {} -> {}", device, code, inputText, inputSize,
                                AnswerText(done, error)));
}

void EventLog::Dismount(std::string_view partition, bool done, std::uint32_t error) {
    file_.WriteLine(fmt::format("dismount {} -> {}", partition, AnswerText(done, error)));
}

void EventLog::Mount(std::string_view partition, bool done, std::uint32_t error) {
    file_.WriteLine(fmt::format("mount {} -> {}", partition, AnswerText(done, error)));
}

void EventLog::Format(std::string_view partition, const platform::FormatOptions& options, std::uint32_t result) {
    file_.WriteLine(fmt::format("format {} {} {} {} {} {} -> {}", partition, options.clusterBytes, options.rootEntries,
                                options.fatVersion, options.numberOfFats, options.flags, result));
}

void EventLog::WindowCommand(std::string_view executable, std::uint32_t processId, std::uintptr_t command) {
    file_.WriteLine(fmt::format("window-command {} {} {}", executable, processId, command));
}

void EventLog::TerminateProcess(std::string_view executable, std::uint32_t processId, std::uint32_t exitCode,
                                bool done, std::uint32_t error) {
    file_.WriteLine(
        fmt::format("terminate-process {} {} exit={} -> {}", executable, processId, exitCode, AnswerText(done, error)));
}

void EventLog::ThreadPriority(int priority) { file_.WriteLine(fmt::format("thread-priority {}", priority)); }

void EventLog::Restart() { file_.WriteLine("restart IOCTL_HAL_REBOOT"); }

void EventLog::CoreService() { file_.WriteLine(fmt::format("core-service {}", kCoreServiceNumber)); }

void EventLog::EnvironmentStore(std::string_view variables, bool done, std::uint32_t error) {
    file_.WriteLine(fmt::format("environment-store {} -> {}", variables, AnswerText(done, error)));
}

void EventLog::SlotCopy(std::string_view region, char from, char to, bool done, std::uint32_t error) {
    file_.WriteLine(fmt::format("slot-copy {} {} {} -> {}", region, from, to, AnswerText(done, error)));
}

void EventLog::CardRefused(std::string_view reason) { file_.WriteLine(fmt::format("card-refused {}", reason)); }

void EventLog::InstallingRelease(std::uint64_t version, std::string_view manifestSha256, bool done,
                                 std::uint32_t error) {
    file_.WriteLine(
        fmt::format("installing-release {} {} -> {}", version, manifestSha256, AnswerText(done, error)));
}

void EventLog::InstalledRelease(std::uint64_t version, std::string_view manifestSha256, bool done,
                                std::uint32_t error) {
    file_.WriteLine(
        fmt::format("installed-release {} {} -> {}", version, manifestSha256, AnswerText(done, error)));
}

}  // namespace velkor::shared
