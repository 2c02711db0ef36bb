#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velkor::test {
namespace {

std::vector<std::string> EventsNamed(const std::filesystem::path& log, const std::vector<std::string>& names) {
    std::vector<std::string> events = LogTexts(ReadHostFile(log));
    std::erase_if(events, [&](const std::string& event) {
        return std::none_of(names.begin(), names.end(), [&](const std::string& name) { return event.starts_with(name + " "); });
    });
    return events;
}

TEST(FormatEndToEnd, TheFormatButtonEmptiesTheDataVolumeAndSaysNothing) {
    UpdaterSession session;
    ASSERT_TRUE(session.Start());
    // From the OS check box back to Format, press it, then leave without saving.
    ASSERT_TRUE(session.PressKeys({"shift+Tab", "space", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    EXPECT_EQ(EventsNamed(session.Device() / "events.log", {"dismount", "format", "mount"}),
              (std::vector<std::string>{"dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0",
                                        "mount DSK2: Part00 -> 1"}));
    // Mounting again gives the volume back its store folder, and nothing else.
    const std::filesystem::path volume = session.Device() / "root" / "VKRFlash";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(volume), {}), 1);
    EXPECT_TRUE(std::filesystem::is_empty(volume / "$MSD$"));
    EXPECT_FALSE(std::filesystem::is_empty(session.Device() / "root" / "NandFlash"));
    const std::vector<std::string> debug = LogTexts(ReadHostFile(session.Device() / "debug.log"));
    EXPECT_NE(std::find(debug.begin(), debug.end(), "Format succeed"), debug.end());
}

}  // namespace
}  // namespace velkor::test
