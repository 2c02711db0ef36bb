#include "backend/sim/SizeLimitedFile.h"

#include "platform/ErrorCodes.h"

namespace velkor::sim {

SizeLimitedFile::SizeLimitedFile(std::unique_ptr<platform::File> file, std::uint64_t limit,
                                 shared::ErrorState& errors)
    : file_(std::move(file)), limit_(limit), errors_(errors) {}

bool SizeLimitedFile::Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
    if (!file_->Read(buffer, count, bytesRead)) {
        return false;
    }
    position_ += bytesRead;
    return true;
}

bool SizeLimitedFile::Write(const void* data, std::uint32_t count) {
    const std::uint64_t end = position_ + count;
    if (end > limit_ && end > file_->Length()) {
        return errors_.Fail(platform::error::kDiskFull);
    }
    if (!file_->Write(data, count)) {
        return false;
    }
    position_ = end;
    return true;
}

bool SizeLimitedFile::Seek(std::uint64_t offset) {
    if (!file_->Seek(offset)) {
        return false;
    }
    position_ = offset;
    return true;
}

std::uint64_t SizeLimitedFile::Length() const { return file_->Length(); }

bool SizeLimitedFile::Close() { return file_->Close(); }

}  // namespace velkor::sim
