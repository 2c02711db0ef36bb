#pragma once

#include <cstdint>
#include <filesystem>

namespace velkor::bench {

// Velkor's whole install of a signed card's OS image into slot B, from the card check to the
// commit, as `velkor-device install` runs it: on a target's loop devices and on a simulated
// device's region files, each against the disk's limit on the same slot and, on the loop devices,
// against `rauc install` of the same image.
struct InstallRun {
    std::filesystem::path scratch;
    // The image, and one of its size that differs from it in every chunk.
    std::filesystem::path image;
    std::filesystem::path otherImage;
    std::uint64_t imageBytes = 0;
    int runs = 1;
};

// Prints the medians, their ratios, the install's peak memory and the bytes it wrote; false when
// an install, the limit or RAUC failed. Without root or loop devices only the region files run.
bool RunInstallBench(const InstallRun& run);

}  // namespace velkor::bench
