#include "backend/shared/RegFileParser.h"
#include "backend/shared/RegistryService.h"
#include "backend/sim/SimRegistry.h"
#include "platform/ErrorCodes.h"

#include <gtest/gtest.h>

namespace velkor::sim {
namespace {

namespace error = platform::error;

// The registryOpenFails switch: the key refuses to open or be created in any letter case, with 5;
// its neighbours and the keys below it still open.
TEST(SimRegistryTest, AKeySwitchedOffRefusesToOpen) {
    shared::ErrorState errors;
    shared::RegistryService service(
        shared::RegFileParser::Parse(
            "[HKEY_LOCAL_MACHINE\\System\\Profiles\\SD]\n[HKEY_LOCAL_MACHINE\\System\\Other]\n", "platform.reg"),
        errors);
    SimRegistry registry(service, {u"System\\Profiles"}, errors);
    platform::Registry::Handle handle = 0;
    EXPECT_EQ(registry.OpenKey(u"SYSTEM\\profiles", handle), error::kAccessDenied);
    EXPECT_EQ(registry.CreateKey(u"System\\Profiles", handle), error::kAccessDenied);
    EXPECT_EQ(errors.Last(), error::kAccessDenied);
    EXPECT_EQ(registry.OpenKey(u"System\\Other", handle), error::kSuccess);
    EXPECT_EQ(registry.OpenKey(u"System\\Profiles\\SD", handle), error::kSuccess);
}

}  // namespace
}  // namespace velkor::sim
