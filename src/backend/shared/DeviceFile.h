#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/UniqueFd.h"
#include "platform/File.h"

#include <optional>

namespace velkor::shared {

// An open file of the device, on a host file descriptor that it owns.
class DeviceFile : public platform::File {
public:
    // Writes that would grow the file beyond `sizeLimit` bytes fail with kDiskFull.
    DeviceFile(UniqueFd fd, ErrorState& errors, std::optional<std::uint64_t> sizeLimit);

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
    bool Write(const void* data, std::uint32_t count) override;
    bool Seek(std::uint64_t offset) override;
    std::uint64_t Length() const override;

private:
    bool WouldExceedLimit(std::uint32_t count) const;

    UniqueFd fd_;
    ErrorState& errors_;
    std::optional<std::uint64_t> sizeLimit_;
};

}  // namespace velkor::shared
