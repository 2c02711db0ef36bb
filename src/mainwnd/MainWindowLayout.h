#pragma once

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace velkor::mainwnd {

// A rectangle in pixels: left, top, width and height.
struct LayoutBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const LayoutBox&) const = default;
};

// A control as the layout measures it: its outer size as the window template makes it, and the
// width of its border on each side.
struct ControlSize {
    int width = 0;
    int height = 0;
    int border = 0;
};

// Where one control goes: its identifier and its new outer rectangle.
struct Placement {
    int id = 0;
    LayoutBox box;

    bool operator==(const Placement&) const = default;
};

using ControlSizes = std::map<int, ControlSize>;

// Places `controls` in centred rows inside `area`, from the top: row i holds the next
// `rowCounts[i]` controls, `rowSpacings[i]` = (gap between neighbours, gap above the row). Each
// control takes its client size (its size less its border) as its outer size, and the next row
// starts below the row's last control. A row wider than the area overhangs it on both sides.
std::vector<Placement> LayoutRows(const LayoutBox& area, const std::vector<int>& controls,
                                  const std::vector<int>& rowCounts,
                                  const std::vector<std::pair<int, int>>& rowSpacings,
                                  const std::function<ControlSize(int)>& sizeOf);

// The main window's layout for a client area of `clientWidth` x `clientHeight` whose outer right
// edge is `windowRight`: the six image rows centred in the working area, the hidden group box
// over it, and the four command buttons right-aligned at the bottom. `templateSizes` holds the
// template's size of every control involved. The result depends on nothing else, so laying out
// again at the same size gives the same positions.
std::vector<Placement> LayoutMainWindow(int clientWidth, int clientHeight, int windowRight,
                                        const ControlSizes& templateSizes);

}  // namespace velkor::mainwnd
