#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::sim {

// The power-cut switch: counts the bytes the device writes (flash regions, the second logo's copy,
// the boot environment) and ends the program at once when they reach the switch's number, as a
// power cut would. Region bytes stay pending until the driver flushes them; a cut loses them all,
// leaving erased flash (0xFF) where they were, so a driver that switches before it flushes is caught.
class PowerCut {
public:
    // How the program ends at a cut, so that a test can tell a cut from any other end.
    static constexpr int kExitStatus = 86;
    static constexpr char kErasedByte = static_cast<char>(0xFF);

    // Without a number the power never goes.
    explicit PowerCut(std::optional<std::uint64_t> afterBytes);

    PowerCut(const PowerCut&) = delete;
    PowerCut& operator=(const PowerCut&) = delete;

    bool Armed() const { return afterBytes_.has_value(); }

    // Counts `count` bytes about to be written; answers how many of them land before the power goes,
    // `count` when the power stays.
    std::uint64_t Admit(std::uint64_t count);
    // `count` bytes of a region file about to be written at `offset`: they land pending, and the
    // power goes before any of them when they do not all fit.
    void RegionWriting(const std::filesystem::path& region, std::uint64_t offset, std::uint64_t count);
    // What was written to the region so far is on the medium.
    void RegionFlushed(const std::filesystem::path& region);
    // Loses what is pending and ends the program.
    [[noreturn]] void Cut();

private:
    void ErasePending() const;

    std::optional<std::uint64_t> afterBytes_;
    std::uint64_t written_ = 0;
    std::map<std::filesystem::path, std::vector<std::pair<std::uint64_t, std::uint64_t>>> pending_;
};

}  // namespace velkor::sim
