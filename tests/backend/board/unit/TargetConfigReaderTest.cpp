#include "backend/shared/DeviceError.h"
#include "backend/board/TargetConfigReader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <string>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

const fs::path kFile = "/etc/velkor/target.json";

// A whole target file with `extra` fields added at its end.
std::string TargetText(const std::string& extra = "") {
    return R"({"registry": "platform.reg", "log": "/var/log/velkor",
               "folders": {"StorageCard": "/media/sdcard"},
               "flashRegions": {"boot": "/dev/mmcblk0p1", "logo": "/dev/mmcblk0p2", "os": "p3.img", "app": "/dev/mmcblk0p4"},
               "stores": [{"deviceName": "DSK2:", "profile": "BinFLASH", "partitions":
                   [{"name": "Part00", "volume": "\\VKRFlash", "device": "/dev/mmcblk0p6", "mountPoint": "/mnt/data"}]}])" +
           extra + "}";
}

TEST(TargetConfigReader, ReadsAWholeTargetFromItsFolder) {
    const TargetConfig config = ParseTargetConfig(
        TargetText(R"(, "languageId": "0x0804", "programs": {"\\Windows\\Tirnow.exe": "/usr/bin/tirnow"},
                      "commands": {"restart": ["reboot", "-f"]})"),
        kFile);
    EXPECT_EQ(config.registry, "/etc/velkor/platform.reg");
    EXPECT_EQ(config.flashRegions[2], "/etc/velkor/p3.img");
    EXPECT_EQ(config.languageId, 0x0804);
    ASSERT_EQ(config.folders.size(), 2U) << "the partition's volume is a folder of the device";
    EXPECT_EQ(config.folders[1].name, u"VKRFlash");
    EXPECT_EQ(config.folders[1].host, "/mnt/data");
    EXPECT_EQ(config.programs.at(0).devicePath, u"\\Windows\\Tirnow.exe");
    EXPECT_EQ(config.commands.restart, (CommandLine{"reboot", "-f"}));
    EXPECT_EQ(config.commands.unmount, (CommandLine{"umount", "{mountPoint}"})) << "an absent command keeps its default";
    EXPECT_FALSE(config.trust) << "a target without a keyring takes any card";
}

TEST(TargetConfigReader, ReadsTheTrustWithItsPathsFromTheTargetsFolder) {
    const TargetConfig config = ParseTargetConfig(
        TargetText(R"(, "trust": {"keyring": "keyring.pem", "compatible": "velkor-vk100", "validity": "not-checked",
                                  "record": "/var/lib/velkor/installed.json"})"),
        kFile);
    ASSERT_TRUE(config.trust);
    EXPECT_EQ(config.trust->keyring, "/etc/velkor/keyring.pem");
    EXPECT_EQ(config.trust->compatible, "velkor-vk100");
    EXPECT_EQ(config.trust->validity, platform::ValidityRule::NotChecked);
    EXPECT_EQ(config.trust->installedRecord, "/var/lib/velkor/installed.json");
}

// A target with two-slot regions keeps its installed release in the boot environment.
TEST(TargetConfigReader, ATwoSlotTargetNeedsNoRecord) {
    const TargetConfig config = ParseTargetConfig(
        R"({"registry": "platform.reg", "log": "/var/log/velkor", "folders": {},
            "flashRegions": {"boot": "/dev/mmcblk0p1", "logo": "/dev/mmcblk0p2",
                             "os": {"slots": ["/dev/mmcblk0p3", "/dev/mmcblk0p5"]}, "app": "/dev/mmcblk0p4"},
            "bootEnvironment": {"copies": [{"device": "/dev/mmcblk0p7", "offset": 0, "size": 8192},
                                           {"device": "/dev/mmcblk0p7", "offset": 8192, "size": 8192}]},
            "trust": {"keyring": "k.pem", "compatible": "v"}})",
        kFile);
    ASSERT_TRUE(config.trust);
    EXPECT_TRUE(config.trust->installedRecord.empty());
}

struct BadTarget {
    const char* name;
    std::string text;
    const char* message;
};

class BadTargetTest : public testing::TestWithParam<BadTarget> {};

TEST_P(BadTargetTest, NamesTheFieldAtFault) {
    try {
        ParseTargetConfig(GetParam().text, kFile);
        FAIL() << "accepted";
    } catch (const shared::DeviceError& failure) {
        EXPECT_EQ(std::string(failure.what()), "/etc/velkor/target.json: " + std::string(GetParam().message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadTargetTest,
    testing::Values(
        BadTarget{"RegionsMissing", R"({"registry": "r", "log": "l", "folders": {}})", "\"flashRegions\" is missing"},
        BadTarget{"FolderWithSeparator", TargetText(R"(, "folders": {"a\\b": "/x"})"),
                  "\"folders[a\\b]\" must be named by one device folder name, such as \"StorageCard\""},
        BadTarget{"FolderTwice", TargetText(R"(, "folders": {"Card": "/x", "CARD": "/y"})"),
                  "\"folders[Card]\" must be named once, letter case aside"},
        BadTarget{"VolumeElsewhere", TargetText(R"(, "folders": {"VKRFlash": "/mnt/other"})"),
                  "\"folders[VKRFlash]\" must be the mount point of the partition mounted as it, \"/mnt/data\""},
        BadTarget{"FoldersTheSame", TargetText(R"(, "folders": {"Card": "/media/sdcard", "Nand": "/media/./sdcard/"})"),
                  "\"folders[Nand]\" must be a host folder apart from that of folders[Card], \"/media/sdcard\""},
        BadTarget{"FolderInsideAnother", TargetText(R"(, "folders": {"Card": "/media", "Nand": "/media/sdcard/nand"})"),
                  "\"folders[Nand]\" must be a host folder apart from that of folders[Card], \"/media\""},
        BadTarget{"VolumeInsideAFolder", TargetText(R"(, "folders": {"Data": "/mnt"})"),
                  "\"folders[VKRFlash]\" must be a host folder apart from that of folders[Data], \"/mnt\""},
        BadTarget{"EmptyCommand", TargetText(R"(, "commands": {"mount": []})"),
                  "\"commands.mount\" must be a list of non-empty strings, the program first"},
        BadTarget{"ProgramNotADevicePath", TargetText(R"(, "programs": {"tirnow": "/usr/bin/tirnow"})"),
                  "\"programs[tirnow]\" must be named by a device path such as \"\\\\Windows\\\\Tirnow.exe\""},
        BadTarget{"TrustWithoutRecord", TargetText(R"(, "trust": {"keyring": "k.pem", "compatible": "v"})"),
                  "\"trust.record\" is missing"},
        BadTarget{"RecordOnAVolumeTheUpdateFormats",
                  TargetText(R"(, "trust": {"keyring": "k.pem", "compatible": "v", "record": "/mnt/data/x/installed.json"})"),
                  "\"trust.record\" must be a host file outside the device folders, not inside \"/mnt/data\" (VKRFlash)"}),
    [](const testing::TestParamInfo<BadTarget>& info) { return info.param.name; });

struct TargetFileCase {
    const char* name;
    // Puts the target file, or what stands in its place, at the path given.
    std::function<void(const fs::path& file, const fs::path& folder)> make;
    // What the complaint says; empty when the file is read.
    std::string refusal;
};

class TargetFileTest : public testing::TestWithParam<TargetFileCase> {};

// Read from the host through the one bounded reader: an engineer's link is followed, a FIFO is
// refused rather than waited on.
TEST_P(TargetFileTest, IsReadAsAPlainFileOnly) {
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    GetParam().make(folder / "target.json", folder);
    try {
        const TargetConfig config = ReadTargetConfig(folder / "target.json");
        EXPECT_EQ(GetParam().refusal, "") << "read";
        EXPECT_EQ(config.flashRegions[2], folder / "p3.img");
    } catch (const shared::DeviceError& failure) {
        EXPECT_NE(std::string(failure.what()).find(GetParam().refusal), std::string::npos) << failure.what();
        EXPECT_NE(GetParam().refusal, "") << failure.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TargetFileTest,
    testing::Values(
        TargetFileCase{"LinkFollowed",
                       [](const fs::path& file, const fs::path& folder) {
                           std::ofstream(folder / "real.json") << TargetText();
                           fs::create_symlink(folder / "real.json", file);
                       },
                       ""},
        // The card's folder is the NAND folder through a link: the two are one.
        TargetFileCase{"FoldersOneThroughALink",
                       [](const fs::path& file, const fs::path& folder) {
                           fs::create_directory(folder / "nand");
                           fs::create_directory_symlink(folder / "nand", folder / "card");
                           std::ofstream(file) << TargetText(R"(, "folders": {"NandFlash": "nand", "StorageCard": "card"})");
                       },
                       "\"folders[StorageCard]\" must be a host folder apart from that of folders[NandFlash]"},
        TargetFileCase{"Fifo", [](const fs::path& file, const fs::path&) { ::mkfifo(file.c_str(), 0600); },
                       "\" is a FIFO, not a plain file"}),
    [](const testing::TestParamInfo<TargetFileCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::board
