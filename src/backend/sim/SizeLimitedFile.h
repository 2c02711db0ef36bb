#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/File.h"

#include <cstdint>
#include <memory>

namespace velkor::sim {

// A file of the simulated device under the fileSizeLimit switch: a write that would make it longer
// than the limit (and longer than it is) fails with kDiskFull and writes nothing.
class SizeLimitedFile : public platform::File {
public:
    SizeLimitedFile(std::unique_ptr<platform::File> file, std::uint64_t limit, shared::ErrorState& errors);

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
    bool Write(const void* data, std::uint32_t count) override;
    bool Seek(std::uint64_t offset) override;
    std::uint64_t Length() const override;
    platform::FileIdentity Identity() const override { return file_->Identity(); }
    bool Close() override;

private:
    std::unique_ptr<platform::File> file_;
    std::uint64_t limit_;
    shared::ErrorState& errors_;
    // The file position, which the file itself does not tell.
    std::uint64_t position_ = 0;
};

}  // namespace velkor::sim
