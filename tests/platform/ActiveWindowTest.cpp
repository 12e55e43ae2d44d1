#include "platform/ActiveWindow.h"

#include "PrivateXServer.h"
#include "platform/SignalReader.h"

#include <QtGlobal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace wakeward {
namespace {

using ActiveWindowX11Test = test::X11Test;

// The pid of the window named by _NET_ACTIVE_WINDOW; nothing for no window or a window without a
// pid, in a Wayland session even where XWayland provides a DISPLAY, or once the display is gone.
TEST_F(ActiveWindowX11Test, FollowsTheActiveWindow) {
    ActiveWindow active;
    EXPECT_FALSE(active.pid()); // no window manager hint yet

    activate(window(4242));
    EXPECT_EQ(active.pid(), 4242);
    activate(window(std::nullopt));
    EXPECT_FALSE(active.pid());
    activate(window(77));
    EXPECT_EQ(active.pid(), 77);
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(active.pid());
    qunsetenv("WAYLAND_DISPLAY");
    activate(XCB_WINDOW_NONE);
    EXPECT_FALSE(active.pid());

    // The answer is kept until the window manager names another window, but not past the
    // server's end.
    activate(window(77));
    EXPECT_EQ(active.pid(), 77);
    EXPECT_EQ(active.pid(), 77);
    const QByteArray display = qgetenv("DISPLAY");
    server.stop();
    qputenv("DISPLAY", display);
    EXPECT_FALSE(active.pid());
    EXPECT_FALSE(ActiveWindow().pid());
}

// With the real /proc, the frontmost identifier is this test program's own executable name.
TEST_F(ActiveWindowX11Test, FrontmostIsTheWindowsProcess) {
    activate(window(static_cast<std::uint32_t>(::getpid())));
    SignalReader::Options options;
    options.audioSource = [] { return std::optional<std::string>(); };
    SignalReader reader("/proc", "/sys", "/dev", options);
    EXPECT_EQ(reader.read(false).frontmost, "platform_signals_test");
}

} // namespace
} // namespace wakeward
