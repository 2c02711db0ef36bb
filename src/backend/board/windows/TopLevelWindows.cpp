#include "backend/board/windows/TopLevelWindows.h"

#include <algorithm>

namespace velkor::board {

TopLevelWindows::TopLevelWindows(const XcbConnection& x)
    : x_(x), clientMarks_{x.Atom("WM_STATE"), x.Atom("_NET_WM_PID")} {}

std::vector<xcb_window_t> TopLevelWindows::BottomUp() const {
    std::vector<xcb_window_t> windows = x_.Children(x_.Root());
    const std::vector<bool> clients = x_.HaveAnyProperty(windows, clientMarks_);
    for (std::size_t index = 0; index < windows.size(); ++index) {
        if (!clients[index]) {
            windows[index] = ClientIn(windows[index]);
        }
    }
    return windows;
}

xcb_window_t TopLevelWindows::ClientIn(xcb_window_t frame) const {
    const std::vector<xcb_window_t> children = x_.Children(frame);
    const std::vector<bool> clients = x_.HaveAnyProperty(children, clientMarks_);
    const auto topmost = std::find(clients.rbegin(), clients.rend(), true);
    return topmost != clients.rend() ? children[static_cast<std::size_t>(clients.rend() - topmost - 1)] : frame;
}

}  // namespace velkor::board
