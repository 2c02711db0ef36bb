#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/UniqueFd.h"
#include "backend/shared/flash/RegionWriter.h"
#include "backend/sim/PowerCut.h"
#include "platform/File.h"

#include <cstdint>
#include <filesystem>

namespace velkor::sim {

// Programs one flash region, a host file in DIR/flash, with an image through a RegionWriter.
// The file is made when it is missing and cut to the image's length once the image is in.
class RegionProgrammer {
public:
    // `capacity` is the region's size in bytes. `readBackDiffers` corrupts what is read back;
    // `powerCut` sees every write and flush.
    RegionProgrammer(std::filesystem::path regionFile, std::uint64_t capacity, bool readBackDiffers,
                     PowerCut& powerCut, shared::ErrorState& errors);

    // True when the whole image was written, flushed and read back equal (held to `expectation`
    // when there is one, as RegionWriter does). Otherwise false with the last error set: kDiskFull
    // for an image larger than the region (the region is then left alone), kCrc when the read-back
    // differs or the bytes are not the expected ones, the file system's code when the image cannot
    // be read, and the host's error mapped when the region cannot be written.
    bool Program(platform::File& image, shared::ImageExpectation* expectation = nullptr);
    // The bytes Program really wrote to the region file: chunks it already held are left alone.
    std::uint64_t BytesWritten() const { return bytesWritten_; }

private:
    shared::UniqueFd OpenRegion();
    shared::RegionWriter::Hooks WriterHooks() const;
    bool ErrnoFailure(int errnoValue);

    std::filesystem::path regionFile_;
    std::uint64_t capacity_;
    bool readBackDiffers_;
    PowerCut& powerCut_;
    shared::ErrorState& errors_;
    std::uint64_t bytesWritten_ = 0;
};

}  // namespace velkor::sim
