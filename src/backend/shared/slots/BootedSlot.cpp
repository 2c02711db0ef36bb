#include "backend/shared/slots/BootedSlot.h"

#include "backend/shared/DeviceError.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace velkor::shared {
namespace {

// A kernel command line is a few KiB at most; more is not one.
constexpr std::size_t kMaxCommandLineBytes = 64 * 1024;

}  // namespace

std::string SlotParameter(Slot slot) { return fmt::format("{}{}", kSlotParameter, SlotLetter(slot)); }

std::optional<Slot> SlotOnCommandLine(std::string_view commandLine) {
    std::istringstream words{std::string(commandLine)};
    std::optional<Slot> slot;
    for (std::string word; words >> word;) {
        if (!word.starts_with(kSlotParameter)) {
            continue;
        }
        const std::string_view name = std::string_view(word).substr(kSlotParameter.size());
        slot = SlotNamed(name);
        if (!slot) {
            throw DeviceError(fmt::format("the kernel command line names the slot \"{}\" ({}): only A and B exist",
                                          name, word));
        }
    }
    return slot;  // as the kernel does, the last one given counts
}

std::optional<Slot> ReadBootedSlot(const std::filesystem::path& commandLineFile) {
    std::error_code failure;
    if (!std::filesystem::exists(commandLineFile, failure)) {
        return std::nullopt;
    }
    std::ifstream in(commandLineFile, std::ios::binary);
    std::string text(kMaxCommandLineBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || (!in && !in.eof())) {
        throw DeviceError(fmt::format("cannot read the kernel command line {}", commandLineFile));
    }
    if (static_cast<std::size_t>(in.gcount()) > kMaxCommandLineBytes) {
        throw DeviceError(fmt::format("{} is larger than a kernel command line", commandLineFile));
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return SlotOnCommandLine(text);
}

}  // namespace velkor::shared
