#include "e2e/UpdaterSession.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velkor::test {
namespace {

// The operator picks the OS image with the keys alone: Tab to the OS row's browse button, open the
// picker, go down into the one folder on the card, pick its one image, and leave through Exit.
TEST(PickerEndToEnd, KeysAlonePickTheOsImageThatExitSaves) {
    UpdaterSession session;
    std::filesystem::remove_all(session.Card() / "Images");
    WriteHostFile(session.Card() / "Builds" / "NK_v2.bin", "image");
    ASSERT_TRUE(session.Start());

    ASSERT_TRUE(session.PressKeys({"Tab", "space"}));
    ASSERT_TRUE(session.WaitForDialog(20));
    // From the OK button down into the list, onto the folder, in, onto the image, and pick it.
    ASSERT_TRUE(session.PressKeys({"Down", "Down", "Return", "Down", "Return"}));
    ASSERT_TRUE(session.WaitForDialogToClose(20));
    // Back from the OS browse button to Exit.
    ASSERT_TRUE(session.PressKeys({"shift+Tab", "shift+Tab", "shift+Tab", "space"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"),
              SettingsFileBytes({u"0", u"\\StorageCard\\Builds\\NK_v2.bin", u"0", u"", u"0", u"", u"0", u"", u"0", u"",
                                 u"0"}));
}

}  // namespace
}  // namespace velkor::test
