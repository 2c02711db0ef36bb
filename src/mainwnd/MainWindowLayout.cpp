#include "mainwnd/MainWindowLayout.h"

#include "mainwnd/MainWindowTemplate.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace velkor::mainwnd {
namespace {

using namespace control;

constexpr int kImageRows = 6;

// The image rows from top to bottom, each left to right: check box, path field, browse button,
// status text. The Reset row's hidden browse button still takes its place.
constexpr std::size_t kPathColumn = 1;
constexpr std::array<std::array<int, 4>, kImageRows> kRows{{
    {kLogoCheck, kLogoPath, kLogoBrowse, kLogoStatus},
    {kLogo2Check, kLogo2Path, kLogo2Browse, kLogo2Status},
    {kBootCheck, kBootPath, kBootBrowse, kBootStatus},
    {kOsCheck, kOsPath, kOsBrowse, kOsStatus},
    {kAppCheck, kAppPath, kAppBrowse, kAppStatus},
    {kResetCheck, kResetPath, kResetBrowse, kResetStatus},
}};

// The command buttons from the right edge leftwards, each one button and 30 pixels further on.
constexpr std::array<int, 4> kCommandButtons{kExit, kUpdate, kFormat, kRestart};

constexpr int kSideInset = 10;
constexpr int kTopInset = 2;
constexpr int kGapAboveButtons = 10;
constexpr int kFirstRowGap = 10;
constexpr int kNeighbourGap = 1;
constexpr int kButtonsRightMargin = 15;
constexpr int kGapBetweenButtons = 30;
constexpr int kGapBelowArea = 5;

bool IsPathField(int id) {
    return std::any_of(kRows.begin(), kRows.end(), [id](const auto& row) { return row[kPathColumn] == id; });
}

int ClientWidth(const ControlSize& size) { return size.width - 2 * size.border; }
int ClientHeight(const ControlSize& size) { return size.height - 2 * size.border; }

std::vector<Placement> LayoutCommandButtons(const LayoutBox& area, int windowRight, const ControlSize& update) {
    std::vector<Placement> buttons;
    const int width = ClientWidth(update);
    const int height = ClientHeight(update);
    for (std::size_t index = 0; index < kCommandButtons.size(); ++index) {
        const int step = static_cast<int>(index) + 1;
        const int left = windowRight - kButtonsRightMargin - step * width - (step - 1) * kGapBetweenButtons;
        buttons.push_back({kCommandButtons[index], {left, area.top + area.height + kGapBelowArea, width, height}});
    }
    return buttons;
}

}  // namespace

std::vector<Placement> LayoutRows(const LayoutBox& area, const std::vector<int>& controls,
                                  const std::vector<int>& rowCounts,
                                  const std::vector<std::pair<int, int>>& rowSpacings,
                                  const std::function<ControlSize(int)>& sizeOf) {
    std::vector<Placement> placements;
    int top = area.top;
    auto next = controls.begin();
    for (std::size_t row = 0; row < rowCounts.size(); ++row) {
        const auto [gapX, gapY] = rowSpacings[row];
        const auto rowEnd = next + rowCounts[row];
        const int rowWidth = std::accumulate(next, rowEnd, gapX * (rowCounts[row] - 1),
                                             [&](int sum, int id) { return sum + ClientWidth(sizeOf(id)); });
        int left = area.left + (area.width - rowWidth) / 2;
        const int rowTop = top + gapY;
        int lastHeight = 0;
        for (; next != rowEnd; ++next) {
            const ControlSize size = sizeOf(*next);
            lastHeight = ClientHeight(size);
            placements.push_back({*next, {left, rowTop, ClientWidth(size), lastHeight}});
            left += ClientWidth(size) + gapX;
        }
        top = rowTop + lastHeight;
    }
    return placements;
}

std::vector<Placement> LayoutMainWindow(int clientWidth, int clientHeight, int windowRight,
                                        const ControlSizes& templateSizes) {
    const ControlSize& update = templateSizes.at(kUpdate);
    const LayoutBox area{kSideInset, kTopInset, clientWidth - 2 * kSideInset,
                         clientHeight - kTopInset - update.height - kGapAboveButtons};
    const int checkWidth = ClientWidth(templateSizes.at(kOsCheck));
    const ControlSize& browse = templateSizes.at(kOsBrowse);
    const ControlSize& status = templateSizes.at(kLogoStatus);
    // The path fields fill what the row leaves; less their border, they are as tall as a browse button.
    const ControlSize pathField{area.width - checkWidth - ClientWidth(browse) - ClientWidth(status) - 8,
                                ClientHeight(browse) + 2, 1};
    const int rowGap = (area.height - kImageRows * ClientHeight(status)) / kImageRows;

    std::vector<int> controls;
    std::vector<std::pair<int, int>> spacings;
    for (const auto& row : kRows) {
        controls.insert(controls.end(), row.begin(), row.end());
        spacings.emplace_back(kNeighbourGap, spacings.empty() ? kFirstRowGap : rowGap);
    }
    const std::vector<int> counts(kImageRows, static_cast<int>(kRows.front().size()));
    std::vector<Placement> placements = LayoutRows(
        area, controls, counts, spacings, [&](int id) { return IsPathField(id) ? pathField : templateSizes.at(id); });
    placements.push_back({kGroupBox, area});
    for (const Placement& button : LayoutCommandButtons(area, windowRight, update)) {
        placements.push_back(button);
    }
    return placements;
}

}  // namespace velkor::mainwnd
