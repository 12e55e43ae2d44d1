#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

struct xcb_connection_t;

namespace wakeward {

// Finds the process of the active window of an X11 session through the window manager's EWMH hints.
class ActiveWindow {
public:
    ActiveWindow();
    ~ActiveWindow();
    ActiveWindow(const ActiveWindow&) = delete;
    ActiveWindow& operator=(const ActiveWindow&) = delete;

    /// True in an X11 session: WAYLAND_DISPLAY unset and DISPLAY set.
    static bool isX11Session();
    /// A new connection to the X11 display, with its default screen's root window and the
    /// `_NET_ACTIVE_WINDOW` atom; absent when they cannot be had before the deadline. The caller
    /// owns the connection and ends it with xcb_disconnect.
    struct Root {
        xcb_connection_t* connection = nullptr;
        std::uint32_t window = 0;
        std::uint32_t activeWindow = 0;
    };
    static std::optional<Root> openRoot(std::chrono::milliseconds deadline);
    /// True when an X11 session has a tray of the XEmbed kind; false elsewhere or after the
    /// deadline.
    static bool hasXEmbedTray(std::chrono::milliseconds deadline);

    /// Pid of the active window's process; absent outside X11, without a window manager hint, or
    /// after the deadline.
    std::optional<int> pid(std::chrono::milliseconds deadline = std::chrono::milliseconds(250));

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace wakeward
