#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/UniqueFd.h"
#include "platform/File.h"

namespace velkor::shared {

// An open file of the device, on a host file descriptor that it owns.
class DeviceFile : public platform::File {
public:
    DeviceFile(UniqueFd fd, ErrorState& errors);

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
    bool Write(const void* data, std::uint32_t count) override;
    bool Seek(std::uint64_t offset) override;
    std::uint64_t Length() const override;
    platform::FileIdentity Identity() const override;
    bool Close() override;

private:
    UniqueFd fd_;
    ErrorState& errors_;
    // Whether anything was written since the file was opened, so that closing must sync it.
    bool written_ = false;
};

}  // namespace velkor::shared
