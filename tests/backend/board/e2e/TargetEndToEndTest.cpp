#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "backend/board/support/ClientProcess.h"
#include "backend/board/support/FuseFatMount.h"
#include "backend/board/support/HostCommand.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/board/support/SwapArea.h"
#include "backend/board/support/TempFolder.h"
#include "platform/Sha256.h"
#include "support/TestPki.h"
#include "trust/ManifestWriter.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kUpdateTimeoutSeconds = 90;
constexpr std::uintmax_t kMebibyte = 1024 * 1024;
// The virtual display's screen, which the sample second logo must match.
constexpr const char* kScreen = "1280x800";

struct Region {
    const char* name;
    std::uintmax_t bytes;
    const char* image;
};
// The logo region holds the screen-sized sample logo.
constexpr std::array<Region, 4> kRegions{{
    {"boot", 1 * kMebibyte, "Eboot.nb0"},
    {"logo", 4 * kMebibyte, "Logo1.bmp"},
    {"os", 1 * kMebibyte, "NK.bin"},
    {"app", 1 * kMebibyte, "NAPP.bin"},
}};

struct Sibling {
    const char* devicePath;
    const char* executable;
};
constexpr std::array<Sibling, 2> kSiblings{{
    {"\\Windows\\Tirnow.exe", "tirnow"},
    {"\\Windows\\Pavlor.exe", "pavlor"},
}};

// The device's data volume, FAT12 with 2048-byte clusters, 512 root entries and 2 FATs, which the
// update formats again with its own parameters; a file on it shows whether it was emptied.
constexpr std::uintmax_t kDataVolumeBytes = 6 * kMebibyte;
constexpr const char* kDataFormat = "mkfs.fat -F 12 -S 512 -s 4 -r 512 -f 2";
constexpr const char* kOldFile = "::/OLD.TXT";

std::string ReadPrefix(const fs::path& path, std::size_t bytes) { return ReadHostFile(path).substr(0, bytes); }

void MakeSparseFile(const fs::path& path, std::uintmax_t bytes) {
    WriteHostFile(path, "");
    fs::resize_file(path, bytes);
}

bool HasTools() {
    return RunHostCommand("command -v mkfs.fat fsck.fat fusefat fusermount mcopy losetup").has_value() &&
           fs::exists("/dev/loop-control") && fs::exists("/dev/fuse");
}

// A real device made of what the test owns: loop devices over sparse files for the flash regions
// and the data volume (FAT12, mounted through FUSE), the storage card and NAND folders of a
// simulated device made with velkor-device init, and two X clients standing in for the sibling
// programs. The target file describes it all.
class TargetDevice {
public:
    TargetDevice() : session_({"--auto", "--screen", kScreen}) {}

    // False, with the reason in `why`, when a part could not be made.
    bool Make(std::string& why) {
        for (const Region& region : kRegions) {
            const fs::path file = temp_.Path() / (std::string(region.name) + ".img");
            MakeSparseFile(file, region.bytes);
            regions_.push_back(std::make_unique<LoopDevice>(file));
            if (regions_.back()->Path().empty()) {
                why = "no loop device for the " + std::string(region.name) + " region";
                return false;
            }
        }
        const fs::path data = temp_.Path() / "data.img";
        MakeSparseFile(data, kDataVolumeBytes);
        if (!RunHostCommand(std::string(kDataFormat) + " " + ShellQuoted(data.string()) + " && echo old | mcopy -i " +
                            ShellQuoted(data.string()) + " - " + kOldFile)) {
            why = "mkfs.fat or mcopy failed";
            return false;
        }
        data_ = std::make_unique<LoopDevice>(data);
        fs::create_directories(MountPoint());
        mount_ = std::make_unique<FuseFatMount>(data_->Path(), MountPoint());
        if (data_->Path().empty() || !mount_->IsMounted()) {
            why = "the data volume could not be mounted through fusefat";
            return false;
        }
        return StartSiblings(why);
    }

    fs::path WriteTargetFile(const json& changes = json::object()) const {
        json target = {
            {"registry", (session_.Device() / "platform.reg").string()},
            {"folders",
             {{"StorageCard", session_.Card().string()}, {"NandFlash", (session_.Device() / "root/NandFlash").string()}}},
            {"flashRegions", json::object()},
            {"stores",
             {{{"deviceName", "DSK2:"},
               {"profile", "BinFLASH"},
               {"partitions",
                {{{"name", "Part00"},
                  {"volume", "\\VKRFlash"},
                  {"device", data_->Path().string()},
                  {"mountPoint", MountPoint().string()}}}}}}},
            {"programs", json::object()},
            {"commands",
             {{"mount", {"fusefat", "-o", "rw+", "{device}", "{mountPoint}"}},
              {"unmount", {"fusermount", "-u", "{mountPoint}"}},
              {"restart", {"touch", (temp_.Path() / "restarted").string()}}}},
            {"log", Logs().string()},
            {"debugLog", (Logs() / "debug.log").string()}};
        for (std::size_t index = 0; index < kRegions.size(); ++index) {
            target["flashRegions"][kRegions[index].name] = regions_[index]->Path().string();
        }
        for (const Sibling& sibling : kSiblings) {
            target["programs"][sibling.devicePath] = (temp_.Path() / sibling.executable).string();
        }
        target.merge_patch(changes);
        const fs::path file = temp_.Path() / "target.json";
        WriteHostFile(file, target.dump(2));
        return file;
    }

    UpdaterSession& Session() { return session_; }
    const fs::path& RegionDevice(std::size_t index) const { return regions_[index]->Path(); }
    const fs::path& DataDevice() const { return data_->Path(); }
    fs::path DataImage() const { return temp_.Path() / "data.img"; }
    fs::path Folder() const { return temp_.Path(); }
    fs::path MountPoint() const { return temp_.Path() / "data"; }
    fs::path Logs() const { return temp_.Path() / "log"; }
    board::ClientProcess& SiblingProcess(std::size_t index) { return *siblings_[index]; }
    fs::path ClosedNote(std::size_t index) const {
        return temp_.Path() / (std::string(kSiblings[index].executable) + ".closed");
    }
    void Unmount() { mount_.reset(); }

private:
    // Each sibling is a copy of the test client under its own name, as /proc/PID/exe then tells.
    bool StartSiblings(std::string& why) {
        for (std::size_t index = 0; index < kSiblings.size(); ++index) {
            const fs::path executable = temp_.Path() / kSiblings[index].executable;
            fs::copy_file(VELKOR_TEST_XCLIENT, executable);
            siblings_.push_back(std::make_unique<board::ClientProcess>(std::vector<std::string>{
                executable.string(), "--title", kSiblings[index].executable, "--closed-file",
                ClosedNote(index).string()}));
            if (siblings_.back()->Window() == 0) {
                why = "the X client standing in for a sibling program did not show a window";
                return false;
            }
        }
        return true;
    }

    UpdaterSession session_;
    TempFolder temp_;
    std::vector<std::unique_ptr<LoopDevice>> regions_;
    std::unique_ptr<LoopDevice> data_;
    std::unique_ptr<FuseFatMount> mount_;
    std::vector<std::unique_ptr<board::ClientProcess>> siblings_;
};

class TargetEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0 || !HasTools()) {
            GTEST_SKIP() << "needs root, loop devices, FUSE, dosfstools, mtools and fusefat";
        }
        std::string why;
        if (!device_.Make(why)) {
            GTEST_SKIP() << why;
        }
    }

    TargetDevice device_;
};

std::uint16_t Le16(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

TEST_F(TargetEndToEnd, AnAutoUpdateCardUpdatesTheRealDevice) {
    UpdaterSession& session = device_.Session();
    ASSERT_TRUE(session.Start({"--target", QString::fromStdString(device_.WriteTargetFile().string())},
                              QProcessEnvironment::systemEnvironment()));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    const fs::path images = session.Card() / "AutoUpdate";
    for (std::size_t index = 0; index < kRegions.size(); ++index) {
        const std::string image = ReadHostFile(images / kRegions[index].image);
        EXPECT_EQ(ReadPrefix(device_.RegionDevice(index), image.size()), image) << kRegions[index].name;
    }
    const std::vector<std::string> events = LogTexts(ReadHostFile(device_.Logs() / "events.log"));
    for (std::size_t index = 0; index < kSiblings.size(); ++index) {
        EXPECT_EQ(ReadHostFile(device_.ClosedNote(index)), "closed\n") << kSiblings[index].executable;
        EXPECT_EQ(device_.SiblingProcess(index).State(2000), "killed") << kSiblings[index].executable;
        const std::string program = std::string(kSiblings[index].devicePath) + " " +
                                    std::to_string(device_.SiblingProcess(index).Pid());
        for (const std::string& line : {"window-command " + program + " 2", "terminate-process " + program + " exit=4 -> 1"}) {
            EXPECT_NE(std::find(events.begin(), events.end(), line), events.end()) << line;
        }
    }

    device_.Unmount();
    const std::string bootSector = ReadPrefix(device_.DataDevice(), 512);
    EXPECT_EQ(Le16(bootSector, 11) * static_cast<unsigned char>(bootSector[13]), 2048) << "cluster bytes";
    EXPECT_EQ(Le16(bootSector, 17), 512) << "root entries";
    EXPECT_EQ(bootSector[16], 2) << "FATs";
    EXPECT_EQ(bootSector.substr(54, 8), "FAT12   ");
    EXPECT_TRUE(RunHostCommand("fsck.fat -n " + ShellQuoted(device_.DataDevice().string())).has_value());
    EXPECT_FALSE(RunHostCommand("mdir -i " + ShellQuoted(device_.DataDevice().string()) + " " + kOldFile))
        << "the data volume was not emptied";
    // The sample logo's only zero bytes are its black pixels, and its rows have no fill.
    std::string lifted = ReadHostFile(images / "logo2.bmp");
    std::replace(lifted.begin() + 54, lifted.end(), '\0', '\10');
    EXPECT_TRUE(RunHostCommand("mcopy -n -i " + ShellQuoted(device_.DataDevice().string()) +
                               " '::/$MSD$/Logo/Logo.bmp' -") == lifted)
        << "the second logo on the data volume is not the card's with its dark pixels lifted";

    for (const std::string& line : {std::string("dismount DSK2: Part00 -> 1"),
                                     std::string("format DSK2: Part00 2048 512 12 2 3 -> 0"),
                                     std::string("mount DSK2: Part00 -> 1"),
                                     std::string("device-control \\VKRFlash\\Vol: 0x800020DC "
                                                 "\"\\StorageCard\\AutoUpdate\\NK.bin\" 0 -> 1")}) {
        EXPECT_NE(std::find(events.begin(), events.end(), line), events.end())
            << line << " is not in events.log:\n"
            << ReadHostFile(device_.Logs() / "events.log") << ReadHostFile(device_.Logs() / "debug.log");
    }
    const std::vector<std::string> debug = LogTexts(ReadHostFile(device_.Logs() / "debug.log"));
    EXPECT_NE(std::find(debug.begin(), debug.end(), "Format succeed"), debug.end());
}

// The same device updated by velkor-device install, without a window, from its own storage card
// while a run of the updater holds the device: refused until the updater is gone.
TEST_F(TargetEndToEnd, InstallUpdatesTheRealDeviceWithoutAWindow) {
    UpdaterSession& session = device_.Session();
    const QStringList install{"install", QString::fromStdString(session.Card().string()), "--target",
                              QString::fromStdString(device_.WriteTargetFile().string()), "--progress=json"};
    ASSERT_TRUE(session.Start({"--target", QString::fromStdString(device_.WriteTargetFile().string())},
                              QProcessEnvironment::systemEnvironment()));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    const ProgramResult refused = RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), install);
    EXPECT_EQ(refused.exitCode, 1) << "install ran beside the updater";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);
    for (std::size_t index = 0; index < kRegions.size(); ++index) {
        WriteHostFile(device_.RegionDevice(index), std::string(kRegions[index].bytes, 'o'));
    }

    const ProgramResult result = RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), install);
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const fs::path images = session.Card() / "AutoUpdate";
    for (std::size_t index = 0; index < kRegions.size(); ++index) {
        const std::string image = ReadHostFile(images / kRegions[index].image);
        EXPECT_EQ(ReadPrefix(device_.RegionDevice(index), image.size()), image) << kRegions[index].name;
    }
    const std::string progress = result.standardOutput.toStdString();
    const std::string nk = ReadHostFile(images / "NK.bin");
    // install prints its fields in this order.
    EXPECT_NE(progress.find(nlohmann::ordered_json{{"row", "OS"}, {"bytesDone", nk.size()}, {"bytesTotal", nk.size()},
                                 {"state", "succeeded"}}.dump()),
              std::string::npos)
        << progress;
    const std::vector<std::string> events = LogTexts(ReadHostFile(device_.Logs() / "events.log"));
    EXPECT_EQ(std::count(events.begin(), events.end(), "format DSK2: Part00 2048 512 12 2 3 -> 0"), 2);
}

struct TrustedCardCase {
    const char* name;
    // Changes the card after it was signed; nothing for a good card.
    void (*change)(const fs::path& card);
};

class TargetTrustedCard : public TargetEndToEnd, public testing::WithParamInterface<TrustedCardCase> {};

// A device whose target file has a keyring: the card is checked before anything happens.
TEST_P(TargetTrustedCard, OnlyACardSignedForTheDeviceUpdatesIt) {
    UpdaterSession& session = device_.Session();
    const fs::path images = session.Card() / "AutoUpdate";
    trust::Manifest manifest{"velkor-board", 3, {}};
    for (const auto& [row, name] : {std::pair{update::ImageKind::Boot, "Eboot.nb0"}, {update::ImageKind::Logo, "Logo1.bmp"},
                                    {update::ImageKind::OS, "NK.bin"}, {update::ImageKind::App, "NAPP.bin"},
                                    {update::ImageKind::Logo2, "logo2.bmp"}}) {
        const std::string bytes = ReadHostFile(images / name);
        manifest.images.push_back({row, std::string("AutoUpdate/") + name, bytes.size(), platform::Sha256::Of(bytes)});
    }
    const std::string text = trust::WriteManifest(manifest);
    TestPki pki;
    WriteHostFile(session.Card() / "velkor-manifest.json", text);
    WriteHostFile(session.Card() / "velkor-manifest.json.sig", TestPki::Sign(pki.Issue({}), text));
    WriteHostFile(device_.Folder() / "keyring.pem", pki.Root().CertificatePem());
    const bool good = GetParam().change == nullptr;
    if (!good) {
        GetParam().change(session.Card());
    }
    const fs::path record = device_.Folder() / "installed.json";
    const json trust{{"trust",
                      {{"keyring", (device_.Folder() / "keyring.pem").string()},
                       {"compatible", "velkor-board"},
                       {"validity", "not-checked"},
                       {"record", record.string()}}}};

    ASSERT_TRUE(session.Start({"--target", QString::fromStdString(device_.WriteTargetFile(trust).string())},
                              QProcessEnvironment::systemEnvironment()));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    for (std::size_t index = 0; index < kRegions.size(); ++index) {
        const std::string image = ReadHostFile(images / kRegions[index].image);
        EXPECT_EQ(ReadPrefix(device_.RegionDevice(index), image.size()), good ? image : std::string(image.size(), '\0'))
            << kRegions[index].name;
    }
    const std::vector<std::string> events = LogTexts(ReadHostFile(device_.Logs() / "events.log"));
    const std::string digest = platform::DigestHex(platform::Sha256::Of(text));
    if (good) {
        EXPECT_EQ(json::parse(ReadHostFile(record)), (json{{"version", 3}, {"manifestSha256", digest}}));
        EXPECT_EQ(events.back(), "installed-release 3 " + digest + " -> 1");
        return;
    }
    EXPECT_FALSE(fs::exists(record));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& line) { return !line.starts_with("thread-priority"); }),
              1);
    EXPECT_NE(std::find(events.begin(), events.end(), "card-refused image-changed"), events.end());
    EXPECT_FALSE(fs::exists(device_.ClosedNote(0))) << "no sibling program was asked to close";
    device_.Unmount();
    EXPECT_TRUE(RunHostCommand("mdir -i " + ShellQuoted(device_.DataDevice().string()) + " " + kOldFile))
        << "the data volume was formatted";
}

INSTANTIATE_TEST_SUITE_P(
    Cards, TargetTrustedCard,
    testing::Values(TrustedCardCase{"Good", nullptr},
                    TrustedCardCase{"ImageChangedAfterSigning",
                                    [](const fs::path& card) {
                                        std::string image = ReadHostFile(card / "AutoUpdate/NAPP.bin");
                                        image[image.size() / 2] ^= 1;
                                        WriteHostFile(card / "AutoUpdate/NAPP.bin", image);
                                    }}),
    [](const testing::TestParamInfo<TrustedCardCase>& info) { return info.param.name; });

struct CheckCase {
    const char* name;
    // Changes to the good target file, in which DATA stands for the data volume's device (mounted),
    // DATAFILE for its image, ALIAS for a second loop device over that image, SWAP for a loop device
    // that is an active swap area, FIFO for a FIFO, MOUNT for the data volume's mount point and
    // ROOT for the disk of the running system's root file system.
    const char* changes;
    int exitCode;
    const char* message;
};

class TargetCheck : public TargetEndToEnd, public testing::WithParamInterface<CheckCase> {};

// The block device "/" is mounted from; empty when the root is not on one.
std::string RootDisk() {
    std::string disk = RunHostCommand("findmnt -n -o SOURCE / | grep '^/dev/'").value_or("");
    disk.erase(disk.find_last_not_of('\n') + 1);
    return disk;
}

void Substitute(std::string& text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder)) {
        text.replace(at, placeholder.size(), value);
    }
}

// The parts a check case names beyond the target's own, made for it alone, and the texts that
// stand for them.
class CheckParts {
public:
    // False, with the reason in `why`, when a part could not be made.
    bool Make(const std::string& changes, const TargetDevice& device, std::string& why) {
        const auto names = [&](const char* placeholder) { return changes.find(placeholder) != std::string::npos; };
        if (names("ALIAS")) {
            values_.emplace_back("ALIAS", alias_.emplace(device.DataImage()).Path().string());
        }
        if (names("SWAP")) {
            MakeSparseFile(device.Folder() / "swap.img", kMebibyte);
            const fs::path swapDevice = swapLoop_.emplace(device.Folder() / "swap.img").Path();
            values_.emplace_back("SWAP", swapDevice.string());
            if (swapDevice.empty() || !swap_.emplace(swapDevice).IsActive()) {
                why = "the kernel refused swapon on a loop device";
                return false;
            }
        }
        if (names("FIFO")) {
            ::mkfifo((device.Folder() / "fifo").c_str(), 0600);
            values_.emplace_back("FIFO", (device.Folder() / "fifo").string());
        }
        // DATAFILE before DATA, which it starts with.
        values_.emplace_back("DATAFILE", device.DataImage().string());
        values_.emplace_back("DATA", device.DataDevice().string());
        values_.emplace_back("MOUNT", device.MountPoint().string());
        return true;
    }

    std::string Filled(std::string text) const {
        for (const auto& [placeholder, value] : values_) {
            Substitute(text, placeholder, value);
        }
        return text;
    }

private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::optional<LoopDevice> alias_;
    std::optional<LoopDevice> swapLoop_;
    std::optional<SwapArea> swap_;
};

TEST_P(TargetCheck, SaysWhatTheTargetReachesAndRefusesWhatIsUnsafe) {
    std::string changes = GetParam().changes;
    const std::string root = RootDisk();
    if (changes.find("ROOT") != std::string::npos && root.empty()) {
        GTEST_SKIP() << "the root file system is not on a block device here";
    }
    Substitute(changes, "ROOT", root);
    CheckParts parts;
    std::string why;
    if (!parts.Make(changes, device_, why)) {
        GTEST_SKIP() << why;
    }
    changes = parts.Filled(changes);
    const fs::path file = device_.WriteTargetFile(json::parse(changes));
    const ProgramResult result =
        RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), {"check-target", QString::fromStdString(file.string())});
    const std::string output = result.standardOutput.toStdString() + result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << output;
    EXPECT_NE(output.find(parts.Filled(GetParam().message)), std::string::npos) << output;
    EXPECT_NE(output.find(device_.RegionDevice(0).string()), std::string::npos) << "each region is reported";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetCheck,
    testing::Values(CheckCase{"Good", "{}", 0, "FAT12"},
                    CheckCase{"MountedRegion", R"({"flashRegions": {"app": "DATA"}})", 1, "flashRegions.app"},
                    CheckCase{"MissingDevice", R"({"flashRegions": {"os": "/dev/velkor-no-such-device"}})", 1,
                              "flashRegions.os"},
                    CheckCase{"RootDisk", R"({"flashRegions": {"os": "ROOT"}})", 1, "root file system"},
                    CheckCase{"SecondLoopOverTheMountedVolume", R"({"flashRegions": {"app": "ALIAS"}})", 1,
                              "flashRegions.app: DATA is open in FUSE daemon"},
                    CheckCase{"ImageOfTheMountedVolume", R"({"flashRegions": {"os": "DATAFILE"}})", 1,
                              "flashRegions.os: DATA is open in FUSE daemon"},
                    CheckCase{"ActiveSwapArea", R"({"flashRegions": {"logo": "SWAP"}})", 1,
                              "flashRegions.logo: SWAP is an active swap area"},
                    CheckCase{"PartitionOnAFifo",
                              R"({"stores": [{"deviceName": "DSK2:", "profile": "BinFLASH", "partitions": [
                                  {"name": "Part00", "volume": "\\VKRFlash", "device": "FIFO",
                                   "mountPoint": "MOUNT"}]}]})",
                              1, "stores[DSK2:].partitions[Part00]: \"FIFO\" is neither a block device nor a file"},
                    CheckCase{"KeyringUnreadable",
                              R"({"trust": {"keyring": "/velkor-no-such-keyring.pem", "compatible": "velkor-board",
                                  "record": "/velkor-no-such-folder/installed.json"}})",
                              1, "trust: the keyring cannot be read (error 2): every card is refused"}),
    [](const testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
