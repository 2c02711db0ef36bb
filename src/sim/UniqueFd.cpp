#include "sim/UniqueFd.h"

#include <unistd.h>

#include <utility>

namespace velkor::sim {

UniqueFd::~UniqueFd() {
    if (IsValid()) {
        ::close(fd_);
    }
}

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    UniqueFd old(std::exchange(fd_, std::exchange(other.fd_, -1)));
    return *this;
}

}  // namespace velkor::sim
