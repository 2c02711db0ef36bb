#pragma once

#include "backend/shared/LogFile.h"
#include "platform/FormatLibrary.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// A path input in double quotes, with control characters written as \xNN so that a request
// stays one line; "null" when there was no input.
std::string PathInputText(const std::optional<std::u16string>& path);
// "buffer" for a binary input, "null" for none.
std::string BufferInputText(bool hasInput);

// events.log: one line for every effect the program has on the device outside its own files, in
// the same form whichever backend carries it out. An answer is "1" when the request was carried
// out and "0 error <code>" otherwise.
class EventLog {
public:
    explicit EventLog(std::filesystem::path path);

    // "device-control <device> 0x<code> <input> <size> -> <answer>". `device` is as the program
    // named it: a device path, or a store's device name and a partition name.
    void DeviceControl(std::string_view device, std::uint32_t code, std::string_view inputText,
                       std::uint32_t inputSize, bool done, std::uint32_t error);
    // "dismount <partition> -> <answer>", "mount <partition> -> <answer>".
    void Dismount(std::string_view partition, bool done, std::uint32_t error);
    void Mount(std::string_view partition, bool done, std::uint32_t error);
    // "format <partition> <cluster bytes> <root entries> <FAT version> <FATs> <flags> -> <result>".
    void Format(std::string_view partition, const platform::FormatOptions& options, std::uint32_t result);
    // "window-command <executable> <process id> <command>".
    void WindowCommand(std::string_view executable, std::uint32_t processId, std::uintptr_t command);
    // "terminate-process <executable> <process id> exit=<code> -> <answer>".
    void TerminateProcess(std::string_view executable, std::uint32_t processId, std::uint32_t exitCode, bool done,
                          std::uint32_t error);
    // "thread-priority <priority>".
    void ThreadPriority(int priority);
    // "restart IOCTL_HAL_REBOOT".
    void Restart();
    // "core-service <number>", the core library's export behind the hot key.
    void CoreService();
    // "environment-store <variables> -> <answer>": one store of the boot loader's environment.
    void EnvironmentStore(std::string_view variables, bool done, std::uint32_t error);
    // "slot-copy <region> <from> <to> -> <answer>": a region's booted slot copied into the slot an
    // update goes to.
    void SlotCopy(std::string_view region, char from, char to, bool done, std::uint32_t error);
    // "card-refused <reason>": a card the device does not trust, refused before anything happened.
    void CardRefused(std::string_view reason);
    // "installing-release <version> <manifest SHA-256> -> <answer>": a one-slot record raised before
    // an update's first in-place write.
    void InstallingRelease(std::uint64_t version, std::string_view manifestSha256, bool done, std::uint32_t error);
    // "installed-release <version> <manifest SHA-256> -> <answer>".
    void InstalledRelease(std::uint64_t version, std::string_view manifestSha256, bool done, std::uint32_t error);

private:
    LogFile file_;
};

}  // namespace velkor::shared
