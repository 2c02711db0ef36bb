#include "mainwnd/MainWindowLayout.h"
#include "mainwnd/MainWindowTemplate.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velkor::mainwnd {

void PrintTo(const LayoutBox& box, std::ostream* out) {
    *out << "(" << box.left << ", " << box.top << ", " << box.width << " x " << box.height << ")";
}

namespace {

using namespace control;

// The template's controls give: check boxes 68 wide, browse buttons 32 x 26, status texts
// 138 x 26 with a 1-pixel border, the Update button 70 x 26. So rows start 3 pixels into the
// working area (13), the first at 12, the path fields are 244 narrower than the working area.
struct LayoutCase {
    const char* name;
    int width;
    int height;
    LayoutBox logo2Check;   // the second row's top shows the row gap
    LayoutBox osPath;       // the fourth row
    LayoutBox resetStatus;  // the sixth row's last control
    LayoutBox exit;
    LayoutBox restart;
};

class MainWindowLayoutTest : public testing::TestWithParam<LayoutCase> {};

LayoutBox BoxOf(const std::vector<Placement>& placements, int id) {
    for (const Placement& placement : placements) {
        if (placement.id == id) {
            return placement.box;
        }
    }
    ADD_FAILURE() << "control " << id << " not placed";
    return {};
}

TEST_P(MainWindowLayoutTest, PlacesTheRowsAndButtonsForTheScreen) {
    const LayoutCase& screen = GetParam();
    const std::vector<Placement> placements =
        LayoutMainWindow(screen.width, screen.height, screen.width, MainWindowControlSizes());

    EXPECT_EQ(placements.size(), 24U + 1 + 4);
    EXPECT_EQ(BoxOf(placements, kLogoCheck), (LayoutBox{13, 12, 68, 26}));
    EXPECT_EQ(BoxOf(placements, kLogo2Check), screen.logo2Check);
    EXPECT_EQ(BoxOf(placements, kOsPath), screen.osPath);
    EXPECT_EQ(BoxOf(placements, kResetStatus), screen.resetStatus);
    EXPECT_EQ(BoxOf(placements, kGroupBox), (LayoutBox{10, 2, screen.width - 20, screen.height - 38}));
    EXPECT_EQ(BoxOf(placements, kExit), screen.exit);
    EXPECT_EQ(BoxOf(placements, kRestart), screen.restart);
    // All four buttons take the Update button's size, 30 pixels apart.
    EXPECT_EQ(BoxOf(placements, kUpdate).left, screen.exit.left - 100);
    EXPECT_EQ(BoxOf(placements, kFormat), (LayoutBox{screen.exit.left - 200, screen.exit.top, 70, 26}));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, MainWindowLayoutTest,
    testing::Values(
        // Row gap (442 - 6 x 24) / 6 = 49.
        LayoutCase{"Wide800x480", 800, 480, {13, 85, 68, 26}, {82, 231, 534, 26}, {650, 377, 136, 24},
                   {715, 449, 70, 26}, {415, 449, 70, 26}},
        // Row gap (234 - 144) / 6 = 15.
        LayoutCase{"Small480x272", 480, 272, {13, 51, 68, 26}, {82, 129, 214, 26}, {330, 207, 136, 24},
                   {395, 241, 70, 26}, {95, 241, 70, 26}},
        LayoutCase{"Vga640x480", 640, 480, {13, 85, 68, 26}, {82, 231, 374, 26}, {490, 377, 136, 24},
                   {555, 449, 70, 26}, {255, 449, 70, 26}},
        // Row gap 58 / 6 = 9; Restart starts left of the screen.
        LayoutCase{"Qvga320x240", 320, 240, {13, 45, 68, 26}, {82, 111, 54, 26}, {170, 177, 136, 24},
                   {235, 209, 70, 26}, {-65, 209, 70, 26}},
        // Row gap -22 / 6 = -3, truncated toward zero: the rows overlap.
        LayoutCase{"Low800x160", 800, 160, {13, 33, 68, 26}, {82, 75, 534, 26}, {650, 117, 136, 24},
                   {715, 129, 70, 26}, {415, 129, 70, 26}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(LayoutRows, CentresEachRowAndOverhangsWhenTooWide) {
    const ControlSizes sizes{{1, {10, 5, 0}}, {2, {22, 7, 1}}, {3, {50, 4, 0}}};
    const std::vector<Placement> placements =
        LayoutRows({100, 50, 40, 100}, {1, 2, 3}, {2, 1}, {{4, 3}, {1, 6}}, [&](int id) { return sizes.at(id); });
    // Row 1: 10 + 20 + 4 = 34 wide in 40, so 3 in; its last control, 5 high less the border, ends it.
    // Row 2: 50 wide in 40 overhangs by 5 on each side.
    EXPECT_EQ(placements, (std::vector<Placement>{{1, {103, 53, 10, 5}}, {2, {117, 53, 20, 5}}, {3, {95, 64, 50, 4}}}));
}

}  // namespace
}  // namespace velkor::mainwnd
