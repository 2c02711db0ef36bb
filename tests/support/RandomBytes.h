#pragma once

#include <cstddef>
#include <string>

namespace velkor::test {

// `size` pseudo-random bytes, the same for the same seed: an image whose every chunk differs, so that
// a chunk written twice, out of place or not at all shows.
std::string RandomBytes(std::size_t size, unsigned seed);

}  // namespace velkor::test
