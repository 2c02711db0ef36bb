#include "backend/shared/DeviceFile.h"
#include "backend/shared/flash/ImageToWrite.h"
#include "backend/shared/flash/RegionWriter.h"
#include "platform/ErrorCodes.h"
#include "support/ChunkTagging.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

constexpr std::u16string_view kImagePath = u"\\StorageCard\\AutoUpdate\\NK.bin";
constexpr std::uint64_t kRegionBytes = 4 * 1024 * 1024;
const std::string kListed = "the image the card lists";

struct WriteCase {
    const char* name;
    // What the card holds when the driver writes it.
    std::string image;
    // Whether the approved card lists the image at all.
    bool listed;
    // A region written in place, from a private copy.
    bool inPlace;
    bool readBackDiffers;
    std::uint32_t error;
    // What the region holds afterwards.
    std::string region;
    // The path reaches another file than the check read there (the same bytes, swapped in since).
    bool otherFile = false;
};


class ImageCheckTest : public testing::TestWithParam<WriteCase> {};

// The flash driver's path for one image: opened, copied privately for a region written in place,
// streamed through the region writer and read back, each held to what the approved card lists.
TEST_P(ImageCheckTest, HoldsTheBytesWrittenToWhatTheCardLists) {
    const WriteCase& c = GetParam();
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    test::WriteHostFile(folder / "image", c.image);
    test::WriteHostFile(folder / "region", "");
    test::WriteHostFile(folder / "checked", c.image);
    CardApproval approval;
    ErrorState errors;
    const fs::path checked = folder / (c.otherFile ? "checked" : "image");
    const platform::ExpectedImage listed{std::u16string(kImagePath), kListed.size(), platform::Sha256::Of(kListed),
                                         DeviceFile(UniqueFd(::open(checked.c_str(), O_RDONLY)), errors).Identity(),
                                         test::ChunkTagsOf(kListed)};
    approval.Approve({c.listed ? std::vector{listed} : std::vector<platform::ExpectedImage>{}, std::nullopt}, true);
    ImageToWrite image(std::u16string(kImagePath),
                       std::make_unique<DeviceFile>(UniqueFd(::open((folder / "image").c_str(), O_RDONLY | O_CLOEXEC)),
                                                    errors),
                       approval);
    const UniqueFd region(::open((folder / "region").c_str(), O_RDWR | O_CLOEXEC));
    RegionWriter::Hooks hooks;
    if (c.readBackDiffers) {
        hooks.readBack = [](std::span<char> chunk, std::uint64_t) { chunk[0] = static_cast<char>(~chunk[0]); };
    }
    std::vector<std::string> debug;

    bool written = image.IsTheCheckedFile(errors, [&](std::string_view line) { debug.emplace_back(line); }) &&
                   (!c.inPlace || image.KeepPrivately(errors));
    if (written) {
        RegionWriter writer(region.Get(), kRegionBytes, errors, hooks, image.Expectation());
        const std::optional<std::uint64_t> length = writer.Write(image.Bytes());
        written = length && writer.Verify(*length);
    }
    EXPECT_EQ(image.Finish(written, [&](std::string_view line) { debug.emplace_back(line); }), written);

    EXPECT_EQ(written, c.error == error::kSuccess);
    EXPECT_EQ(errors.Last(), c.error);
    EXPECT_EQ(test::ReadHostFile(folder / "region"), c.region);
    EXPECT_EQ(approval.MismatchFound(), !written) << "every failure here is a mismatch, which stops the update";
    ASSERT_EQ(debug.size(), written ? 0u : 1u);
    if (!written) {
        EXPECT_TRUE(debug[0].starts_with("\\StorageCard\\AutoUpdate\\NK.bin is not the "))
            << debug[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, ImageCheckTest,
    testing::Values(
        WriteCase{"ListedIntoASlot", kListed, true, false, false, error::kSuccess, kListed},
        WriteCase{"ListedInPlace", kListed, true, true, false, error::kSuccess, kListed},
        WriteCase{"UnlistedAsBefore", "any image", false, true, false, error::kSuccess, "any image"},
        // A slot written wrong is never booted; the commit point refuses it.
        WriteCase{"ChangedIntoASlot", "THE image the card lists", true, false, false, error::kCrc,
                  "THE image the card lists"},
        // In place, the old image stays: the private copy did not match, so nothing was written.
        WriteCase{"ChangedInPlace", "THE image the card lists", true, true, false, error::kCrc, ""},
        WriteCase{"LongerThanListed", kListed + "!", true, false, false, error::kCrc, ""},
        WriteCase{"ShorterThanListed", kListed.substr(1), true, false, false, error::kCrc, kListed.substr(1)},
        WriteCase{"ReadBackNotListed", kListed, true, true, true, error::kCrc, kListed},
        WriteCase{"AnotherFileThanChecked", kListed, true, false, false, error::kCrc, "", true}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(PrivateImageCopy, CannotBeChangedOnceMade) {
    const QTemporaryDir temporary;
    const fs::path file = fs::path(temporary.path().toStdString()) / "image";
    test::WriteHostFile(file, kListed);
    CardApproval approval;
    const platform::ExpectedImage listed{std::u16string(kImagePath), kListed.size(), platform::Sha256::Of(kListed), {},
                                         test::ChunkTagsOf(kListed)};
    approval.Approve({{listed}, std::nullopt}, true);
    ErrorState errors;
    ImageToWrite image(std::u16string(kImagePath),
                       std::make_unique<DeviceFile>(UniqueFd(::open(file.c_str(), O_RDONLY | O_CLOEXEC)), errors),
                       approval);
    ASSERT_TRUE(image.KeepPrivately(errors));

    test::WriteHostFile(file, "changed on the card");
    EXPECT_FALSE(image.Bytes().Write("x", 1)) << "the copy is sealed";
    std::string copy(64, '\0');
    std::uint32_t read = 0;
    ASSERT_TRUE(image.Bytes().Seek(0) && image.Bytes().Read(copy.data(), 64, read));
    EXPECT_EQ(copy.substr(0, read), kListed);
}

}  // namespace
}  // namespace velkor::shared
