#pragma once

#include <array>
#include <cstdint>
#include <future>
#include <optional>

namespace velkor::platform {

// Reads into two buffers in turn and hands each filled one to `work` on a second thread while the
// next is read, so that the reads and the work on what was read (hashing, comparing) overlap; the
// work runs on one buffer at a time, in the order read. `read(buffer)` fills the buffer and
// answers its byte count, 0 at the end, or nothing on failure; `work(buffer, count)` answers
// whether to go on. True when everything was read and every work went on.
template <typename Buffer, typename Read, typename Work>
bool ReadOverlapped(const std::array<Buffer*, 2>& buffers, Read read, Work work) {
    std::future<bool> working;
    for (std::size_t turn = 0;; ++turn) {
        Buffer& buffer = *buffers[turn % 2];
        const std::optional<std::uint64_t> count = read(buffer);
        if (working.valid() && !working.get()) {
            return false;
        }
        if (!count || *count == 0) {
            return count.has_value();
        }
        working = std::async(std::launch::async, [&work, &buffer, bytes = *count] { return work(buffer, bytes); });
    }
}

}  // namespace velkor::platform
