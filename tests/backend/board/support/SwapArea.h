#pragma once

#include <filesystem>

namespace velkor::test {

// A block device the test made, set up and switched on as a swap area (mkswap, swapon), switched
// off again when the object goes.
class SwapArea {
public:
    explicit SwapArea(const std::filesystem::path& device);
    ~SwapArea();
    SwapArea(const SwapArea&) = delete;
    SwapArea& operator=(const SwapArea&) = delete;

    // False when the kernel refused the swap area.
    bool IsActive() const { return active_; }

private:
    std::filesystem::path device_;
    bool active_ = false;
};

}  // namespace velkor::test
