#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor::board {

// The connection to the X server of $DISPLAY, reduced to the few requests the window manager
// service makes. Without a display (none named, or none answering) the connection is failed from
// the start, and a server that goes away fails it later; a failed connection answers every
// request as a server without windows would.
class XcbConnection {
public:
    XcbConnection();

    bool IsOpen() const;
    // XCB_WINDOW_NONE when failed from the start.
    xcb_window_t Root() const { return root_; }

    // The atom of `name`, made when the server does not know it yet; XCB_ATOM_NONE when failed.
    xcb_atom_t Atom(std::string_view name) const;
    // Bottom to top; empty for a window that does not exist.
    std::vector<xcb_window_t> Children(xcb_window_t window) const;
    // For each of `windows`, whether it has any of `properties`. The requests go out together so
    // that a long list costs one round trip.
    std::vector<bool> HaveAnyProperty(const std::vector<xcb_window_t>& windows,
                                      const std::vector<xcb_atom_t>& properties) const;
    // The first 32-bit item of a property of `type`; nothing when it is absent or of another type.
    std::optional<std::uint32_t> Property32(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const;
    bool IsViewable(xcb_window_t window) const;
    // A 32-bit client message of `type` holding `value` and the current time, as ICCCM's
    // protocol messages are; true once the server has taken it for a window that exists.
    bool SendClientMessage(xcb_window_t window, xcb_atom_t type, xcb_atom_t value) const;

private:
    struct Disconnect {
        void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
    };

    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

}  // namespace velkor::board
