#include "support/RandomBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>

namespace velkor::test {

std::string RandomBytes(std::size_t size, unsigned seed) {
    // Eight bytes a draw: the suites make tens of MiB of these, some before main under the sanitizers.
    std::mt19937_64 generator(seed);
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; at += sizeof(std::uint64_t)) {
        const std::uint64_t word = generator();
        std::memcpy(bytes.data() + at, &word, std::min(sizeof word, size - at));
    }
    return bytes;
}

}  // namespace velkor::test
