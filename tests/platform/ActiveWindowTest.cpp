#include "platform/ActiveWindow.h"

#include "PrivateXServer.h"
#include "platform/SignalReader.h"

#include <QtGlobal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace wakeward {
namespace {

// A private X server and a client that plays the window manager's part of EWMH.
class ActiveWindowX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start(QStringLiteral(WAKEWARD_XVFB))) << "Xvfb is needed for this test";

        xcb = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(xcb), 0);
        root = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data->root;
        activeWindow = atom("_NET_ACTIVE_WINDOW");
        wmPid = atom("_NET_WM_PID");
    }
    void TearDown() override {
        if (xcb != nullptr)
            xcb_disconnect(xcb);
        server.stop();
    }

    xcb_atom_t atom(const char* name) { return test::PrivateXServer::atom(xcb, name); }
    xcb_window_t window(std::optional<std::uint32_t> pid) {
        const xcb_window_t id = xcb_generate_id(xcb);
        xcb_create_window(xcb, XCB_COPY_FROM_PARENT, id, root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (pid)
            xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, id, wmPid, XCB_ATOM_CARDINAL, 32, 1,
                                &*pid);
        return id;
    }
    void activate(xcb_window_t id) {
        xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, root, activeWindow, XCB_ATOM_WINDOW, 32, 1,
                            &id);
        xcb_aux_sync();
    }
    void xcb_aux_sync() {
        std::free(xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
    }

    test::PrivateXServer server;
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
};

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

    activate(window(77));
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
