#include "platform/ActiveWindow.h"

#include "platform/SignalReader.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace wakeward {
namespace {

// A private X server and a client that plays the window manager's part of EWMH.
class ActiveWindowX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        server.setProgram(QStringLiteral(WAKEWARD_XVFB));
        // -displayfd picks a free display and writes its number once the server accepts clients.
        server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                             QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("64x64x24")});
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start();
        ASSERT_TRUE(server.waitForStarted(10000)) << "Xvfb is needed for this test";
        QByteArray number;
        const QDeadlineTimer deadline(20000);
        while (!number.contains('\n') && !deadline.hasExpired() && server.waitForReadyRead(1000))
            number += server.readAllStandardOutput();
        ASSERT_TRUE(number.contains('\n'));
        qputenv("DISPLAY", ":" + number.trimmed());
        qunsetenv("WAYLAND_DISPLAY");

        xcb = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(xcb), 0);
        root = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data->root;
        activeWindow = atom("_NET_ACTIVE_WINDOW");
        wmPid = atom("_NET_WM_PID");
    }
    void TearDown() override {
        if (xcb != nullptr)
            xcb_disconnect(xcb);
        server.kill();
        server.waitForFinished(5000);
        qunsetenv("DISPLAY");
    }

    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            xcb, xcb_intern_atom(xcb, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }
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

    QProcess server;
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
};

// The pid of the window named by _NET_ACTIVE_WINDOW; nothing for no window or a window without a
// pid.
TEST_F(ActiveWindowX11Test, FollowsTheActiveWindow) {
    ActiveWindow active;
    EXPECT_FALSE(active.pid()); // no window manager hint yet

    activate(window(4242));
    EXPECT_EQ(active.pid(), 4242);
    activate(window(std::nullopt));
    EXPECT_FALSE(active.pid());
    activate(window(77));
    EXPECT_EQ(active.pid(), 77);
    activate(XCB_WINDOW_NONE);
    EXPECT_FALSE(active.pid());
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
