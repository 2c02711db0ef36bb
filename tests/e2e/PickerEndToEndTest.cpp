#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

// The operator opens the OS row's picker with the keys alone and leaves it by Escape, or goes down
// into the one folder on the card and picks its one image. Then the arrows walk the main window's
// maps from the browse button that opened the picker, Enter acts where they lead (no update, no
// format), and Exit saves the choice.
TEST(PickerEndToEnd, ArrowsFollowTheMapsAfterThePickerCloses) {
    struct Case {
        const char* name;
        QStringList inPicker;
        QStringList afterwards;
        std::vector<std::u16string> saved;
    };
    const std::u16string picked = u"\\StorageCard\\Builds\\NK_v2.bin";
    const std::vector<Case> cases{
        {"left by Escape",
         {"Escape"},
         {"Up", "Left", "Return", "Up", "Up", "Up", "Return"},  // Boot browse, Boot: ticked; up to Exit
         {u"0", u"", u"0", u"", u"0", u"", u"1", u"", u"0", u"", u"1"}},
        {"left by a pick",
         {"Down", "Down", "Return", "Down", "Return"},  // the list, the folder: in; the image: picked
         {"Down", "Left", "Return", "Up", "Up", "Up", "Up", "Up", "Return"},  // App browse, App: ticked; Exit
         {u"0", picked, u"0", u"", u"0", u"", u"0", u"", u"1", u"", u"0"}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        UpdaterSession session;
        std::filesystem::remove_all(session.Card() / "Images");
        WriteHostFile(session.Card() / "Builds" / "NK_v2.bin", "image");
        ASSERT_TRUE(session.Start());
        ASSERT_TRUE(session.PressKeys({"Right", "Return"}));
        ASSERT_TRUE(session.WaitForDialog(20));
        ASSERT_TRUE(session.PressKeys(testCase.inPicker));
        ASSERT_TRUE(session.WaitForDialogToClose(20));
        ASSERT_TRUE(session.PressKeys(testCase.afterwards));
        ASSERT_EQ(session.WaitForExit(), 0);

        EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"), SettingsFileBytes(testCase.saved));
        for (const std::string& event : LogTexts(ReadHostFile(session.Device() / "events.log"))) {
            EXPECT_TRUE(event.starts_with("thread-priority")) << event;
        }
    }
}

}  // namespace
}  // namespace velkor::test
