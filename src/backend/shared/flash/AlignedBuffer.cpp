#include "backend/shared/flash/AlignedBuffer.h"

#include <cstdlib>
#include <new>

namespace velkor::shared {

AlignedBuffer::AlignedBuffer(std::size_t bytes)
    : size_(AlignedUp(bytes)), data_(static_cast<char*>(std::aligned_alloc(kAlignment, size_))) {
    if (!data_) {
        throw std::bad_alloc();
    }
}

void AlignedBuffer::Free::operator()(char* data) const { std::free(data); }

}  // namespace velkor::shared
