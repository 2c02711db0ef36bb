#pragma once

#include "backend/shared/DeviceError.h"

#include <gmock/gmock.h>

#include <string>

namespace velkor::test {

// Matches a call that refuses with a DeviceError whose message holds `complaint`.
inline auto ThrowsDeviceError(const std::string& complaint) {
    return testing::ThrowsMessage<shared::DeviceError>(testing::HasSubstr(complaint));
}

}  // namespace velkor::test
