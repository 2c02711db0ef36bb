#include "backend/board/storage/PartitionDevice.h"
#include "backend/board/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <functional>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

constexpr DeviceNumber kChecked{7, 40};

struct IdentityCase {
    const char* name;
    // Puts what "device" names now in the folder, after the device 7:40 was checked there.
    std::function<bool(const fs::path& folder)> change;
    bool same;
};

void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.name; }

bool MakeNode(const fs::path& path, DeviceNumber number, mode_t type = S_IFBLK) {
    return ::mknod(path.c_str(), type | S_IRUSR, ::makedev(number.major, number.minor)) == 0;
}

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

// A command gets the device's path; the path must still lead to the device that was checked.
TEST_P(IdentityTest, TellsWhetherThePathStillNamesTheCheckedDevice) {
    const test::TempFolder temp;
    if (!MakeNode(temp.Path() / "checked", kChecked) || !GetParam().change(temp.Path())) {
        GTEST_SKIP() << "making device nodes needs root";
    }
    BlockDeviceInfo checked;
    checked.kind = PathKind::BlockDevice;
    checked.number = kChecked;
    shared::ErrorState errors;

    EXPECT_EQ(IsStillTheDevice(temp.Path() / "device", checked, errors), GetParam().same);
    EXPECT_EQ(errors.Last(), GetParam().same ? error::kSuccess : error::kAccessDenied);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, IdentityTest,
    ::testing::Values(
        // As /dev/disk/by-label/ names a device.
        IdentityCase{"LinkToTheSameDevice",
                     [](const fs::path& f) {
                         fs::create_symlink(f / "checked", f / "device");
                         return true;
                     },
                     true},
        IdentityCase{"AnotherBlockDevice", [](const fs::path& f) { return MakeNode(f / "device", {7, 41}); }, false},
        IdentityCase{"CharacterDeviceOfTheSameNumber",
                     [](const fs::path& f) { return MakeNode(f / "device", kChecked, S_IFCHR); }, false},
        IdentityCase{"Removed", [](const fs::path&) { return true; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::board
