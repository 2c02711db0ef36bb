#pragma once

namespace velkor::shared {

// Owns a POSIX file descriptor and closes it when the object goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();

    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    bool IsValid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Gives the descriptor up to a new owner, such as fdopendir().
    [[nodiscard]] int Release();
    // Closes the descriptor now: 0, or -1 with errno set when close() reported a failure (the
    // descriptor is gone either way).
    int Close();

private:
    int fd_ = -1;
};

}  // namespace velkor::shared
