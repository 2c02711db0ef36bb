#include "backend/sim/FileSystemDevice.h"
#include "platform/ErrorCodes.h"

#include <gtest/gtest.h>

namespace velkor::sim {
namespace {

namespace error = platform::error;
using platform::FileMode;
using test::Device;
using test::Pattern;
namespace fs = std::filesystem;

TEST(SimFileSystemTest, AWriteBeyondTheSizeLimitFailsAndWritesNothing) {
    Device device(R"({"fileSizeLimit": 10})");
    const std::unique_ptr<platform::File> file =
        device.Files().OpenFile(u"\\StorageCard\\big.bin", FileMode::CreateTruncate);
    ASSERT_TRUE(file);

    EXPECT_FALSE(file->Write("0123456789A", 11));
    EXPECT_EQ(device.LastError(), error::kDiskFull);
    EXPECT_TRUE(file->Write("0123456789", 10));
    EXPECT_FALSE(file->Write("A", 1));
    EXPECT_EQ(device.Host("StorageCard/big.bin"), "0123456789");
}

// The open switch names one file, in any letter case and through a link; the move switch stops
// every move. Everything else still works.
TEST(SimFileSystemTest, OpenAndMoveSwitchesFailWithAccessDenied) {
    Device device(R"({"openFails": ["\\STORAGECARD\\images\\nk.BIN"], "moveFails": true})");
    fs::create_directory_symlink("StorageCard", device.Temp().Root() / "Alias");
    for (const FileMode mode : {FileMode::Read, FileMode::ReadWrite, FileMode::CreateTruncate}) {
        EXPECT_FALSE(device.Files().OpenFile(u"\\Alias\\Images\\NK.bin", mode));
        EXPECT_EQ(device.LastError(), error::kAccessDenied);
    }
    EXPECT_TRUE(device.Files().OpenFile(u"\\StorageCard2\\other.bin", FileMode::Read));
    EXPECT_FALSE(device.Files().MoveFile(u"\\StorageCard2\\other.bin", u"\\StorageCard2\\x.bin"));
    EXPECT_EQ(device.LastError(), error::kAccessDenied);
    EXPECT_EQ(device.Host("StorageCard/Images/NK.bin"), "image");
    EXPECT_EQ(device.Host("StorageCard2/other.bin"), "other");
}

TEST(SimFileSystemTest, ReadWriteOverwritesInPlaceWithinTheSizeLimit) {
    Device device(R"({"fileSizeLimit": 5})");

    EXPECT_TRUE(device.Write(u"\\StorageCard\\Images\\NK.bin", FileMode::ReadWrite, "IM"));
    EXPECT_EQ(device.Host("StorageCard/Images/NK.bin"), "IMage");
}

TEST(SimFileSystemTest, ACopyBeyondTheSizeLimitFailsBeforeWritingAndLeavesTheTarget) {
    Device device(R"({"fileSizeLimit": 150000})");
    device.Temp().Write("root/Big.bin", Pattern(200000));

    EXPECT_FALSE(device.Files().CopyFile(u"\\Big.bin", u"\\StorageCard\\Big.bin"));
    EXPECT_EQ(device.LastError(), error::kDiskFull);
    EXPECT_FALSE(device.HostExists("StorageCard/Big.bin"));
    EXPECT_FALSE(device.Files().CopyFile(u"\\Big.bin", u"\\StorageCard2\\other.bin"));
    EXPECT_EQ(device.Host("StorageCard2/other.bin"), "other");
}

}  // namespace
}  // namespace velkor::sim
