#pragma once

#include <cstdint>
#include <filesystem>

namespace velkor::bench {

// The real device's flash driver writing the OS image into a loop-device region, timed against
// the disk's own limit on the same loop device.
struct BoardFlashRun {
    // Where the region's backing file goes.
    std::filesystem::path scratch;
    // The host folder that is the device's \StorageCard, and the image's name in it.
    std::filesystem::path storageCard;
    std::filesystem::path imageName;
    std::uint64_t imageBytes = 0;
    int runs = 1;
};

// Prints the medians, their ratio and the driver's peak memory; prints why and answers true when
// it cannot run here (it needs root and loop devices). False when the driver or the disk failed.
bool RunBoardFlashBench(const BoardFlashRun& run);

}  // namespace velkor::bench
