#include "backend/board/windows/XcbConnection.h"

#include <cstdlib>
#include <string>

namespace velkor::board {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

template <typename Reply, typename Cookie>
using ReadReply = Reply* (*)(xcb_connection_t*, Cookie, xcb_generic_error_t**);

// The reply to one request. An error answer (a window gone meanwhile, say) gives no reply and is
// dropped here, so it never piles up in the event queue, which nobody reads.
template <typename Reply, typename Cookie>
ReplyPtr<Reply> TakeReply(xcb_connection_t* connection, ReadReply<Reply, Cookie> read, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    ReplyPtr<Reply> reply(read(connection, cookie, &error));
    const ReplyPtr<xcb_generic_error_t> dropped(error);
    return reply;
}

xcb_get_property_cookie_t RequestProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                          std::uint32_t items) {
    return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, items);
}

// A failed connection has no setup; a screen number past the server's screens has no root.
xcb_window_t ScreenRoot(xcb_connection_t* connection, int screenNumber) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (!setup) {
        return XCB_WINDOW_NONE;
    }
    for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup); screen.rem > 0; xcb_screen_next(&screen)) {
        if (screenNumber-- == 0) {
            return screen.data->root;
        }
    }
    return XCB_WINDOW_NONE;
}

}  // namespace

// xcb_connect never answers null: a display that cannot be reached gives a failed connection, on
// which every request is a no-op without reply.
XcbConnection::XcbConnection() {
    int screenNumber = 0;
    connection_.reset(xcb_connect(nullptr, &screenNumber));
    root_ = ScreenRoot(connection_.get(), screenNumber);
}

bool XcbConnection::IsOpen() const { return xcb_connection_has_error(connection_.get()) == 0; }

xcb_atom_t XcbConnection::Atom(std::string_view name) const {
    const auto length = static_cast<std::uint16_t>(name.size());
    const auto reply =
        TakeReply(connection_.get(), xcb_intern_atom_reply, xcb_intern_atom(connection_.get(), 0, length, name.data()));
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    return reply->atom;
}

std::vector<xcb_window_t> XcbConnection::Children(xcb_window_t window) const {
    const auto reply = TakeReply(connection_.get(), xcb_query_tree_reply, xcb_query_tree(connection_.get(), window));
    if (!reply) {
        return {};
    }
    const xcb_window_t* children = xcb_query_tree_children(reply.get());
    return {children, children + xcb_query_tree_children_length(reply.get())};
}

std::vector<bool> XcbConnection::HaveAnyProperty(const std::vector<xcb_window_t>& windows,
                                                 const std::vector<xcb_atom_t>& properties) const {
    std::vector<xcb_get_property_cookie_t> cookies;
    for (const xcb_window_t window : windows) {
        for (const xcb_atom_t property : properties) {
            // No items asked for: the reply's type alone says whether the property is there.
            cookies.push_back(RequestProperty(connection_.get(), window, property, 0));
        }
    }
    std::vector<bool> found(windows.size(), false);
    for (std::size_t index = 0; index < cookies.size(); ++index) {
        const auto reply = TakeReply(connection_.get(), xcb_get_property_reply, cookies[index]);
        if (reply && reply->type != XCB_ATOM_NONE) {
            found[index / properties.size()] = true;
        }
    }
    return found;
}

std::optional<std::uint32_t> XcbConnection::Property32(xcb_window_t window, xcb_atom_t property,
                                                       xcb_atom_t type) const {
    const auto reply =
        TakeReply(connection_.get(), xcb_get_property_reply, RequestProperty(connection_.get(), window, property, 1));
    if (!reply || reply->type != type || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

bool XcbConnection::IsViewable(xcb_window_t window) const {
    const auto reply = TakeReply(connection_.get(), xcb_get_window_attributes_reply,
                                 xcb_get_window_attributes(connection_.get(), window));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool XcbConnection::SendClientMessage(xcb_window_t window, xcb_atom_t type, xcb_atom_t value) const {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    message.data.data32[0] = value;
    message.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, so that the call returns once the server has passed the message on, and a window
    // that is gone is told apart.
    const xcb_void_cookie_t sent = xcb_send_event_checked(connection_.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                          reinterpret_cast<const char*>(&message));
    const ReplyPtr<xcb_generic_error_t> error(xcb_request_check(connection_.get(), sent));
    return !error && IsOpen();
}

}  // namespace velkor::board
