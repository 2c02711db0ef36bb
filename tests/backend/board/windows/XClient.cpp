// velkor_test_xclient: a stand-in for a sibling program, with one top-level X window.
//
//   velkor_test_xclient [--title TEXT] [--size WxH] [--pid N] [--transient-for ID]
//                       [--unmapped] [--framed] [--closed-file PATH] [--on-close stay|exit]
//
//   --title TEXT          the window's WM_NAME (default "velkor test client")
//   --size WxH            its size in pixels (default 200x100)
//   --pid N               the process id its _NET_WM_PID claims (default: its own)
//   --transient-for ID    its WM_TRANSIENT_FOR, an X window id in decimal or 0x hex
//   --unmapped            leave it unmapped, so it is never visible
//   --framed              put it into a frame window of its own, as a reparenting window manager
//                         does; the frame, a child of the root, is mapped whatever --unmapped says
//   --closed-file PATH    on each WM_DELETE_WINDOW, append the line "closed" to PATH
//   --on-close stay|exit  on WM_DELETE_WINDOW: destroy the window (with its frame) and run on
//                         until killed, as a program that closes its dialog does (stay, the
//                         default; the note is written before the window goes), or exit with 0
//
// Once the server has made (and mapped) the window, its id goes to standard output in decimal on
// a line of its own. The program runs until it is killed, the display goes or it exits on close.
// Without a display it exits with 1, on a bad command line with 2.

#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

struct Options {
    std::string title = "velkor test client";
    std::uint16_t width = 200;
    std::uint16_t height = 100;
    std::uint32_t processId = static_cast<std::uint32_t>(getpid());
    xcb_window_t transientFor = XCB_WINDOW_NONE;
    bool mapped = true;
    bool framed = false;
    std::string closedFile;
    bool exitOnClose = false;
};

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

std::optional<std::uint32_t> ParseNumber(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool ParseSize(const std::string& text, Options& options) {
    const std::size_t cross = text.find('x');
    const auto width = ParseNumber(text.substr(0, cross));
    const auto height = cross == std::string::npos ? std::nullopt : ParseNumber(text.substr(cross + 1));
    if (!width || !height || *width == 0 || *height == 0 || *width > UINT16_MAX || *height > UINT16_MAX) {
        return false;
    }
    options.width = static_cast<std::uint16_t>(*width);
    options.height = static_cast<std::uint16_t>(*height);
    return true;
}

// An option that takes a value; false when the value is not one it takes.
bool ApplyValue(std::string_view name, const std::string& value, Options& options) {
    if (name == "--title") {
        options.title = value;
    } else if (name == "--size") {
        return ParseSize(value, options);
    } else if (name == "--pid" || name == "--transient-for") {
        const auto number = ParseNumber(value);
        (name == "--pid" ? options.processId : options.transientFor) = number.value_or(0);
        return number.has_value();
    } else if (name == "--closed-file") {
        options.closedFile = value;
    } else if (name == "--on-close") {
        options.exitOnClose = value == "exit";
        return value == "exit" || value == "stay";
    } else {
        return false;
    }
    return true;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index < argc; ++index) {
        const std::string_view name = argv[index];
        if (name == "--unmapped") {
            options.mapped = false;
        } else if (name == "--framed") {
            options.framed = true;
        } else if (index + 1 >= argc || !ApplyValue(name, argv[++index], options)) {
            std::cerr << "velkor_test_xclient: bad option " << name << " (see the top of XClient.cpp)\n";
            return std::nullopt;
        }
    }
    return options;
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    return reply->atom;
}

void SetProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                 std::uint8_t format, std::uint32_t length, const void* data) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, format, length, data);
}

xcb_window_t NewWindow(xcb_connection_t* connection, const xcb_screen_t& screen, xcb_window_t parent,
                       const Options& options) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen.white_pixel};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, parent, 0, 0, options.width, options.height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, XCB_CW_BACK_PIXEL, values);
    return window;
}

// The window, and the root's child that holds it: the window itself, or its frame.
struct ClientWindow {
    xcb_window_t window;
    xcb_window_t topLevel;
};

ClientWindow CreateWindow(xcb_connection_t* connection, const xcb_screen_t& screen, const Options& options,
                          xcb_atom_t deleteWindow) {
    const xcb_window_t parent = options.framed ? NewWindow(connection, screen, screen.root, options) : screen.root;
    const xcb_window_t window = NewWindow(connection, screen, parent, options);
    SetProperty(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                static_cast<std::uint32_t>(options.title.size()), options.title.data());
    SetProperty(connection, window, Atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &options.processId);
    SetProperty(connection, window, Atom(connection, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    if (options.transientFor != XCB_WINDOW_NONE) {
        SetProperty(connection, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &options.transientFor);
    }
    if (options.mapped) {
        xcb_map_window(connection, window);
    }
    if (parent == screen.root) {
        return {window, window};
    }
    xcb_map_window(connection, parent);
    return {window, parent};
}

// Waits until the server has carried out every request so far, so that whoever reads the window
// id finds the window as it was asked for.
void Sync(xcb_connection_t* connection) {
    const ReplyPtr<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool IsDeleteRequest(const xcb_generic_event_t& event, xcb_atom_t deleteWindow) {
    if ((event.response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
    return message.format == 32 && message.data.data32[0] == deleteWindow;
}

void NoteClosed(const std::string& closedFile) {
    if (!closedFile.empty()) {
        std::ofstream(closedFile, std::ios::app) << "closed\n";
    }
}

// Until the display goes, or a close request when the window should exit on it.
int RunEvents(xcb_connection_t* connection, xcb_window_t topLevel, const Options& options, xcb_atom_t deleteWindow) {
    while (const ReplyPtr<xcb_generic_event_t> event{xcb_wait_for_event(connection)}) {
        if (!IsDeleteRequest(*event, deleteWindow)) {
            continue;
        }
        if (options.exitOnClose) {
            NoteClosed(options.closedFile);
            return 0;
        }
        // The note before the window goes: whoever waits for the window to go finds the note.
        NoteClosed(options.closedFile);
        xcb_destroy_window(connection, topLevel);
        Sync(connection);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        return 2;
    }
    int screenNumber = 0;
    const Connection connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) {
        std::cerr << "velkor_test_xclient: no X display\n";
        return 1;
    }
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (; screenNumber > 0 && screen.rem > 0; --screenNumber) {
        xcb_screen_next(&screen);
    }
    const xcb_atom_t deleteWindow = Atom(connection.get(), "WM_DELETE_WINDOW");
    const ClientWindow window = CreateWindow(connection.get(), *screen.data, *options, deleteWindow);
    Sync(connection.get());
    std::cout << window.window << std::endl;
    return RunEvents(connection.get(), window.topLevel, *options, deleteWindow);
}
