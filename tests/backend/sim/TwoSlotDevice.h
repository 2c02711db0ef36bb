#pragma once

#include "backend/shared/slots/BootState.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "platform/DeviceTrust.h"
#include "update/UpdateSettings.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace velkor::sim::test {

// What a group of slots holds: the OS and App images of one generation.
struct Generation {
    std::string os;
    std::string app;

    bool operator==(const Generation&) const = default;
};

// `size` pseudo-random bytes, the same for the same seed.
std::string PatternBytes(std::size_t size, unsigned seed);

// A device directory with two-slot OS and App regions: a small screen, its environment made as
// env-init makes it, `booted` in slot A, slot A booted (its command line recorded) and marked good.
// Its card is the storage card's AutoUpdate folder.
class TwoSlotDevice {
public:
    static constexpr std::uint64_t kSlotBytes = 4 * 1024 * 1024;
    static constexpr std::uint64_t kEnvironmentBytes = 0x2000;

    TwoSlotDevice(std::filesystem::path dir, const Generation& booted);
    // One made before, in `dir`.
    explicit TwoSlotDevice(std::filesystem::path dir) : dir_(std::move(dir)) {}

    const std::filesystem::path& Dir() const { return dir_; }
    // Rewrites device.json with `change` made to it.
    void ChangeConfig(const std::function<void(nlohmann::json&)>& change) const;
    std::filesystem::path SlotFile(std::string_view region, shared::Slot slot) const;
    // What the slot holds; empty when it was never written.
    Generation Holds(shared::Slot slot) const;
    shared::UbootEnvironment Environment() const;
    void Boot(shared::Slot slot) const;
    // Slot B holds `inB`, the environment gets `variables`, and `booted` is the slot that booted.
    void StartFrom(const shared::BootVariables& variables, shared::Slot booted, const Generation& inB) const;
    // Puts an image of the card's under the name the unattended update looks for.
    void PutOnCard(update::ImageKind kind, const std::string& bytes) const;
    std::string CardFile(update::ImageKind kind) const;

private:
    std::filesystem::path dir_;
};

// The rows of an unattended update of the images on the card, as the window would choose them.
update::UpdateSettings CardSettings(const TwoSlotDevice& device, const std::map<update::ImageKind, bool>& rows);

// Runs a whole update on the device as the main window would, without a screen or its pauses, then
// its commit; the card approved as the card check approves it, to install `release`; `unattended` as
// when the card's AutoUpdate folder starts it. The final message it showed.
std::u16string RunUpdate(const std::filesystem::path& dir, const update::UpdateSettings& settings,
                         const std::optional<platform::InstalledRelease>& release = std::nullopt,
                         bool unattended = false);

}  // namespace velkor::sim::test
