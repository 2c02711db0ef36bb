#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"
#include "support/StringLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kUpdateTimeoutSeconds = 60;

// The events that show what an update did to the device, in the order it did them.
std::vector<std::string> UpdateEvents(const fs::path& device) {
    std::vector<std::string> events = LogTexts(ReadHostFile(device / "events.log"));
    std::erase_if(events, [](const std::string& event) {
        return event.starts_with("thread-priority") || event.find("0x0007020") != std::string::npos ||
               event.find(" 0x00000001 ") != std::string::npos;
    });
    return events;
}

std::string FlashRequest(const char* code, const std::string& image) {
    return "device-control \\VKRFlash\\Vol: " + std::string(code) + " \"" + image + "\" 0 -> 1";
}

const std::vector<std::string> kProgramsStopped{
    "window-command \\Windows\\Tirnow.exe 101 2", "window-command \\Windows\\Tirnow.exe 101 1",
    "terminate-process \\Windows\\Tirnow.exe 101 exit=4 -> 1", "window-command \\Windows\\Pavlor.exe 102 2",
    "window-command \\Windows\\Pavlor.exe 102 1", "terminate-process \\Windows\\Pavlor.exe 102 exit=4 -> 1"};
const std::vector<std::string> kDataVolumeFormatted{"dismount DSK2: Part00 -> 1",
                                                    "format DSK2: Part00 2048 512 12 2 3 -> 0",
                                                    "mount DSK2: Part00 -> 1"};


bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(UpdateEndToEnd, ACardWithAnAutoUpdateFolderUpdatesTheDeviceByItself) {
    UpdaterSession session({"--auto"});
    const fs::path images = session.Card() / "AutoUpdate";
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    const fs::path device = session.Device();
    for (const auto& [region, image] : {std::pair{"os.bin", "NK.bin"}, {"logo.bin", "Logo1.bmp"},
                                        {"boot.bin", "Eboot.nb0"}, {"app.bin", "NAPP.bin"}}) {
        EXPECT_EQ(ReadHostFile(device / "flash" / region), ReadHostFile(images / image)) << region;
    }
    // The sample logo's only zero bytes are its black pixels, and its rows have no fill.
    std::string lifted = ReadHostFile(images / "logo2.bmp");
    std::replace(lifted.begin() + 54, lifted.end(), '\0', '\10');
    EXPECT_EQ(ReadHostFile(device / "root/VKRFlash/$MSD$/Logo/Logo.bmp"), lifted);
    const std::string card = "\\StorageCard\\AutoUpdate\\";
    EXPECT_EQ(UpdateEvents(device),
              (kProgramsStopped + kDataVolumeFormatted +
               std::vector<std::string>{FlashRequest("0x800020D8", card + "Logo1.bmp"),
                                           FlashRequest("0x800020D4", card + "Eboot.nb0"),
                                           "device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1",
                                           FlashRequest("0x800020DC", card + "NK.bin"),
                                           FlashRequest("0x800020E8", card + "NAPP.bin")}));
    EXPECT_TRUE(HasLine(LogTexts(ReadHostFile(device / "debug.log")), "Format succeed"));
}

TEST(UpdateEndToEnd, TheUpdateButtonWritesTheChosenRowsOnly) {
    UpdaterSession session;
    WriteHostFile(session.Card() / "updater.cfg",
                  SettingsFileBytes({u"1", u"\\StorageCard\\Images\\NK.bin", u"0", u"\\StorageCard\\Images\\Logo1.bmp",
                                     u"0", u"", u"0", u"\\StorageCard\\Images\\Eboot.nb0", u"1",
                                     u"\\StorageCard\\Images\\NAPP.bin", u"0"}));
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(kClickUpdate));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    const fs::path device = session.Device();
    EXPECT_EQ(ReadHostFile(device / "flash/os.bin"), ReadHostFile(session.Card() / "Images/NK.bin"));
    EXPECT_EQ(ReadHostFile(device / "flash/app.bin"), ReadHostFile(session.Card() / "Images/NAPP.bin"));
    EXPECT_FALSE(fs::exists(device / "flash/boot.bin"));
    EXPECT_FALSE(fs::exists(device / "flash/logo.bin"));
    EXPECT_EQ(UpdateEvents(device),
              (kProgramsStopped + kDataVolumeFormatted +
               std::vector<std::string>{FlashRequest("0x800020DC", "\\StorageCard\\Images\\NK.bin"),
                                        FlashRequest("0x800020E8", "\\StorageCard\\Images\\NAPP.bin")}));
}

// The stored choice is OS alone; the operator clears OS and ticks App at the keys, updates, and
// restarts from the Update button the final message gives the focus back to.
TEST(UpdateEndToEnd, BoxesChangedByHandDecideWhatIsWrittenAndSaved) {
    UpdaterSession session;
    const std::u16string os = u"\\StorageCard\\Images\\NK.bin";
    const std::u16string app = u"\\StorageCard\\Images\\NAPP.bin";
    WriteHostFile(session.Card() / "updater.cfg",
                  SettingsFileBytes({u"1", os, u"0", u"", u"0", u"", u"0", u"", u"0", app, u"0"}));
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(QStringList{"Return", "Down", "Return", "Up"} + kClickUpdate));
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return"}));
    ASSERT_TRUE(session.WaitForDialogToClose(20));
    ASSERT_TRUE(session.PressKeys({"Left", "Left", "Return"}));  // Format, Restart: pressed
    ASSERT_EQ(session.WaitForExit(), 0);

    const std::vector<std::string> events = UpdateEvents(session.Device());
    EXPECT_TRUE(HasLine(events, FlashRequest("0x800020E8", "\\StorageCard\\Images\\NAPP.bin")));
    EXPECT_FALSE(std::any_of(events.begin(), events.end(),
                             [](const std::string& event) { return event.find("0x800020DC") != std::string::npos; }));
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"),
              SettingsFileBytes({u"0", os, u"0", u"", u"0", u"", u"0", u"", u"1", app, u"0"}));
}

// Neither a sibling program that cannot be ended nor a failed format holds the images back.
TEST(UpdateEndToEnd, ImagesAreWrittenWhenStoppingAProgramAndTheFormatFail) {
    UpdaterSession session({"--auto"});
    session.SetFaults(R"({"terminateFails": [101], "formatFails": true})");
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    const std::vector<std::string> events = UpdateEvents(session.Device());
    EXPECT_TRUE(HasLine(events, "terminate-process \\Windows\\Tirnow.exe 101 exit=4 -> 0 error 5"));
    EXPECT_TRUE(HasLine(events, "format DSK2: Part00 2048 512 12 2 3 -> 5"));
    EXPECT_EQ(ReadHostFile(session.Device() / "flash/os.bin"), ReadHostFile(session.Card() / "AutoUpdate/NK.bin"));
}

TEST(UpdateEndToEnd, ARestartThatFailsLeavesTheWindowOpen) {
    UpdaterSession session;
    session.SetFaults(R"({"restartFails": true})");
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(kClickRestart));
    EXPECT_EQ(session.WaitForExit(2000), -1) << "the updater ended although the restart failed";
    ASSERT_TRUE(session.PressKeys({"Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_TRUE(HasLine(LogTexts(ReadHostFile(session.Device() / "events.log")), "restart IOCTL_HAL_REBOOT"));
}

}  // namespace
}  // namespace velkor::test
