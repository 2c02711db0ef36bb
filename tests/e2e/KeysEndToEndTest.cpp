#include "e2e/UpdaterSession.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

// The operator works the main window with Enter and the arrows alone, from the OS check box
// where the focus starts, and leaves through Exit.
TEST(KeysEndToEnd, EnterAndArrowsAloneTickRowsAndExit) {
    UpdaterSession session;
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys({
        "Return",                    // OS ticked
        "Right", "Down", "Left",     // OS browse, App browse, App check box
        "Return",                    // App ticked
        "Up", "Up", "Return",        // OS, Boot: ticked, and Reset with it
        "Up", "Up", "Up", "Return",  // Logo2, Logo, Exit: pressed
    }));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"),
              SettingsFileBytes({u"1", u"", u"0", u"", u"0", u"", u"1", u"", u"1", u"", u"1"}));
}

}  // namespace
}  // namespace velkor::test
