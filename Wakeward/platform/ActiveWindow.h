#pragma once

#include <chrono>
#include <memory>
#include <optional>

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
    /// Pid of the active window's process; absent outside X11, without a window manager hint, or
    /// after the deadline.
    std::optional<int> pid(std::chrono::milliseconds deadline = std::chrono::milliseconds(250));

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace wakeward
