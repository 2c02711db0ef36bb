#include "backend/shared/UniqueFd.h"

#include <unistd.h>

#include <utility>

namespace velkor::shared {

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

int UniqueFd::Release() { return std::exchange(fd_, -1); }

int UniqueFd::Close() { return ::close(Release()); }

}  // namespace velkor::shared
