#pragma once

#include <sys/types.h>

#include <string>

namespace velkor::test {

// A virtual X display (Xvfb, without a window manager) for the life of the object, set as
// $DISPLAY; the display that was set before comes back afterwards.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Why there is no display; empty when there is.
    const std::string& Unavailable() const { return unavailable_; }

private:
    std::string ReadDisplayNumber(int fd);

    pid_t pid_ = -1;
    std::string saved_;
    bool hadDisplay_ = false;
    std::string unavailable_;
};

}  // namespace velkor::test
