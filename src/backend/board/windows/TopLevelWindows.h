#pragma once

#include "backend/board/windows/XcbConnection.h"

#include <vector>

namespace velkor::board {

// The top-level windows of the screen in stacking order. Without a window manager they are the
// root's children. A reparenting window manager puts each client window into a frame of its own,
// one level down; the frame holds the client's place in the stack, and the client window (the one
// with WM_STATE or _NET_WM_PID) stands for it, as that is the window its program knows. A root
// child with no such window in it stands for itself.
class TopLevelWindows {
public:
    // `x` must outlive the object.
    explicit TopLevelWindows(const XcbConnection& x);

    // Bottom-most first; empty without a display.
    std::vector<xcb_window_t> BottomUp() const;

private:
    // The topmost client window among the frame's children, or the frame itself.
    xcb_window_t ClientIn(xcb_window_t frame) const;

    const XcbConnection& x_;
    std::vector<xcb_atom_t> clientMarks_;
};

}  // namespace velkor::board
