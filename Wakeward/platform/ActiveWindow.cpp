#include "platform/ActiveWindow.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace wakeward {

struct ActiveWindow::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    // The last answer, good until the root window reports a new active window.
    std::optional<std::optional<int>> known;

    ~Connection() {
        if (xcb != nullptr)
            xcb_disconnect(xcb);
    }
};

namespace {

using Clock = std::chrono::steady_clock;

// Waits for one reply without letting a stuck X server hold the caller past the deadline.
template <typename Reply>
Reply* waitReply(xcb_connection_t* xcb, unsigned int sequence, Clock::time_point end) {
    xcb_flush(xcb);
    for (;;) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(xcb, sequence, &reply, &error) != 0) {
            std::free(error);
            return static_cast<Reply*>(reply);
        }
        if (xcb_connection_has_error(xcb) != 0)
            return nullptr;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd fd{xcb_get_file_descriptor(xcb), POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) < 0) {
            xcb_discard_reply(xcb, sequence);
            return nullptr;
        }
    }
}

xcb_atom_t internAtom(xcb_connection_t* xcb, const char* name, Clock::time_point end) {
    const auto cookie =
        xcb_intern_atom(xcb, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    auto* reply = waitReply<xcb_intern_atom_reply_t>(xcb, cookie.sequence, end);
    if (reply == nullptr)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// A 32-bit property of a window: `answered` is false when the X server did not answer in time;
// `value` is absent when the window does not have it.
struct Property {
    bool answered = false;
    std::optional<std::uint32_t> value;
};

Property cardinalProperty(xcb_connection_t* xcb, xcb_window_t window, xcb_atom_t property,
                          xcb_atom_t type, Clock::time_point end) {
    const auto cookie = xcb_get_property(xcb, 0, window, property, type, 0, 1);
    auto* reply = waitReply<xcb_get_property_reply_t>(xcb, cookie.sequence, end);
    if (reply == nullptr)
        return {};
    Property result{true, std::nullopt};
    if (reply->type == type && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
        std::uint32_t raw = 0;
        std::memcpy(&raw, xcb_get_property_value(reply), sizeof raw);
        result.value = raw;
    }
    std::free(reply);
    return result;
}

std::optional<ActiveWindow::Root> openRootBy(Clock::time_point end) {
    int screenNumber = 0;
    xcb_connection_t* xcb = xcb_connect(nullptr, &screenNumber);
    auto it = xcb_setup_roots_iterator(xcb_get_setup(xcb));
    if (xcb_connection_has_error(xcb) == 0) {
        for (int i = 0; i < screenNumber && it.rem > 0; ++i)
            xcb_screen_next(&it);
        if (it.rem > 0) {
            const xcb_atom_t activeWindow = internAtom(xcb, "_NET_ACTIVE_WINDOW", end);
            if (activeWindow != XCB_ATOM_NONE)
                return ActiveWindow::Root{xcb, it.data->root, activeWindow};
        }
    }
    xcb_disconnect(xcb);
    return std::nullopt;
}

} // namespace

std::optional<ActiveWindow::Root> ActiveWindow::openRoot(std::chrono::milliseconds deadline) {
    return openRootBy(Clock::now() + deadline);
}

bool ActiveWindow::hasXEmbedTray(std::chrono::milliseconds deadline) {
    if (!isX11Session())
        return false;
    const auto end = Clock::now() + deadline;
    const auto root = openRootBy(end);
    if (!root)
        return false;
    bool found = false;
    // A tray of the XEmbed kind owns this selection for the screen.
    const xcb_atom_t tray = internAtom(root->connection, "_NET_SYSTEM_TRAY_S0", end);
    if (tray != XCB_ATOM_NONE) {
        const auto cookie = xcb_get_selection_owner(root->connection, tray);
        if (auto* reply = waitReply<xcb_get_selection_owner_reply_t>(root->connection,
                                                                     cookie.sequence, end)) {
            found = reply->owner != XCB_WINDOW_NONE;
            std::free(reply);
        }
    }
    xcb_disconnect(root->connection);
    return found;
}

ActiveWindow::ActiveWindow() = default;
ActiveWindow::~ActiveWindow() = default;

bool ActiveWindow::isX11Session() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* display = std::getenv("DISPLAY");
    return (wayland == nullptr || *wayland == '\0') && display != nullptr && *display != '\0';
}

std::optional<int> ActiveWindow::pid(std::chrono::milliseconds deadline) {
    if (!isX11Session())
        return std::nullopt;
    const auto end = Clock::now() + deadline;

    if (m_connection && xcb_connection_has_error(m_connection->xcb) != 0)
        m_connection.reset();
    if (!m_connection) {
        const auto root = openRootBy(end);
        if (!root)
            return std::nullopt;
        auto connection = std::make_unique<Connection>();
        connection->xcb = root->connection;
        connection->root = root->window;
        connection->activeWindow = root->activeWindow;
        connection->wmPid = internAtom(connection->xcb, "_NET_WM_PID", end);
        if (connection->wmPid == XCB_ATOM_NONE)
            return std::nullopt;
        // Told of every change of the root's properties, so an unchanged active window costs no
        // round trip to the X server: the events wait in the socket until the next question.
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection->xcb, connection->root, XCB_CW_EVENT_MASK, &mask);
        m_connection = std::move(connection);
    }

    Connection& x = *m_connection;
    while (xcb_generic_event_t* event = xcb_poll_for_event(x.xcb)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == x.activeWindow)
            x.known.reset();
        std::free(event);
    }
    // Reading the events is what notices a server that has gone away.
    if (xcb_connection_has_error(x.xcb) != 0) {
        m_connection.reset();
        return std::nullopt;
    }
    if (x.known)
        return *x.known;

    const Property window = cardinalProperty(x.xcb, x.root, x.activeWindow, XCB_ATOM_WINDOW, end);
    if (!window.answered)
        return std::nullopt;
    if (!window.value || *window.value == 0) {
        x.known = std::optional<int>();
        return std::nullopt;
    }
    const auto pid = cardinalProperty(x.xcb, *window.value, x.wmPid, XCB_ATOM_CARDINAL, end).value;
    // A window may be shown before its process names itself: asked again at the next call.
    if (!pid || *pid == 0 || *pid > 0x7fffffffU)
        return std::nullopt;
    x.known = static_cast<int>(*pid);
    return *x.known;
}

} // namespace wakeward
