#pragma once

#include <cstddef>
#include <memory>

namespace velkor::shared {

// A fixed buffer whose start and size are multiples of the alignment direct I/O asks for.
class AlignedBuffer {
public:
    // The alignment that satisfies every host block device and file system: a page.
    static constexpr std::size_t kAlignment = 4096;

    // `bytes` is rounded up to the alignment.
    explicit AlignedBuffer(std::size_t bytes);

    char* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }

private:
    struct Free {
        void operator()(char* data) const;
    };

    std::size_t size_;
    std::unique_ptr<char, Free> data_;
};

// `bytes` rounded up to a multiple of AlignedBuffer::kAlignment.
constexpr std::size_t AlignedUp(std::size_t bytes) {
    return (bytes + AlignedBuffer::kAlignment - 1) / AlignedBuffer::kAlignment * AlignedBuffer::kAlignment;
}

}  // namespace velkor::shared
