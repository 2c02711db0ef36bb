#pragma once

#include "platform/Registry.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor::storage {

// Reads the "Name" of the storage-manager profile `profile` into `name`, which may hold
// `capacity` characters with the terminator. 1 when it was read; 0 when the profile's key does
// not exist or the value cannot be read (missing, or too long).
int ReadProfileName(platform::Registry& registry, std::u16string_view profile, std::u16string& name,
                    std::size_t capacity);

}  // namespace velkor::storage
