#include "backend/shared/CheckedCopyFileSystem.h"
#include "backend/shared/FolderFileSystem.h"
#include "platform/ErrorCodes.h"
#include "support/ChunkTagging.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

const std::string kListed = "BM the second logo the card lists";

struct CopyCase {
    const char* name;
    // The card's file when it is copied; none when it is not there.
    std::optional<std::string> source;
    bool listed;
    std::uint32_t error;
    // What the copy holds afterwards; none when there is no copy.
    std::optional<std::string> copy;
};

class CheckedCopyTest : public testing::TestWithParam<CopyCase> {};

// The second logo's copy into the data volume, held to what the approved card lists.
TEST_P(CheckedCopyTest, KeepsOnlyACopyOfTheListedBytes) {
    const CopyCase& c = GetParam();
    const QTemporaryDir temporary;
    const fs::path root = temporary.path().toStdString();
    fs::create_directories(root / "StorageCard");
    fs::create_directories(root / "Data");
    if (c.source) {
        test::WriteHostFile(root / "StorageCard/logo2.bmp", *c.source);
    }
    ErrorState errors;
    const DismountedFolders noneDismounted;
    FolderFileSystem folder(root, noneDismounted, FileRules{}, errors);
    CardApproval approval;
    if (c.listed) {
        const std::unique_ptr<platform::File> checked = folder.OpenFile(u"\\StorageCard\\logo2.bmp", platform::FileMode::Read);
        approval.Approve({{{u"\\StorageCard\\logo2.bmp", kListed.size(), platform::Sha256::Of(kListed),
                            checked ? checked->Identity() : platform::FileIdentity{}, test::ChunkTagsOf(kListed)}},
                          std::nullopt},
                         false);
    }
    std::vector<std::string> debug;
    CheckedCopyFileSystem files(folder, approval, errors, [&](std::string_view line) { debug.emplace_back(line); });

    const bool copied = files.CopyFile(u"\\StorageCard\\LOGO2.bmp", u"\\Data\\Logo.bmp");

    EXPECT_EQ(copied, c.error == error::kSuccess);
    EXPECT_EQ(errors.Last(), c.error);
    EXPECT_EQ(fs::exists(root / "Data/Logo.bmp") ? std::optional(test::ReadHostFile(root / "Data/Logo.bmp")) : std::nullopt,
              c.copy);
    const bool mismatch = c.error == error::kCrc;
    EXPECT_EQ(approval.MismatchFound(), mismatch);
    EXPECT_EQ(debug.size(), mismatch ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Copies, CheckedCopyTest,
    testing::Values(CopyCase{"Listed", kListed, true, error::kSuccess, kListed},
                    CopyCase{"ChangedAfterTheCheck", kListed + " and more", true, error::kCrc, std::nullopt},
                    CopyCase{"UnlistedAsBefore", "any logo", false, error::kSuccess, "any logo"},
                    CopyCase{"SourceGone", std::nullopt, true, error::kFileNotFound, std::nullopt}),
    [](const testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
