#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <xcb/xcb.h>

namespace wakeward::test {

// A private Xvfb display that DISPLAY points at while it runs (WAYLAND_DISPLAY unset).
class PrivateXServer {
public:
    ~PrivateXServer() { stop(); }

    /// Starts `program` and waits until it accepts clients; false when it did not.
    bool start(const QString& program) {
        m_server.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd picks a free display and writes its number once the server accepts clients.
        m_server.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                 QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("64x64x24")});
        const QDeadlineTimer deadline(20000);
        while (!m_server.canReadLine() && m_server.waitForReadyRead(deadline.remainingTime())) {
        }
        if (!m_server.canReadLine())
            return false;
        qputenv("DISPLAY", ":" + m_server.readLine().trimmed());
        qunsetenv("WAYLAND_DISPLAY");
        return true;
    }

    /// Ends the server, as a crash of the display would.
    void stop() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
        qunsetenv("DISPLAY");
    }

private:
    QProcess m_server;
};

// A private X server and a client of it that plays the window manager's part of EWMH.
class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef WAKEWARD_XVFB
        GTEST_SKIP() << "Xvfb is not installed";
#else
        ASSERT_TRUE(server.start(QStringLiteral(WAKEWARD_XVFB))) << "Xvfb did not start";
        xcb = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(xcb), 0);
        root = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data->root;
#endif
    }
    void TearDown() override {
        if (xcb != nullptr)
            xcb_disconnect(xcb);
        server.stop();
    }

    /// The atom of `name`; XCB_ATOM_NONE when there is no answer.
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            xcb, xcb_intern_atom(xcb, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }
    /// A new window, with `pid` as its _NET_WM_PID when given.
    xcb_window_t window(std::optional<std::uint32_t> pid) {
        const xcb_window_t id = xcb_generate_id(xcb);
        xcb_create_window(xcb, XCB_COPY_FROM_PARENT, id, root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (pid)
            xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_PID"),
                                XCB_ATOM_CARDINAL, 32, 1, &*pid);
        return id;
    }
    /// Sets a property of the root window and returns once the server has it.
    void setRootProperty(const char* name, xcb_atom_t type, std::uint32_t value) {
        xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, root, atom(name), type, 32, 1, &value);
        std::free(xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
    }
    void activate(xcb_window_t id) {
        setRootProperty("_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, id);
    }

    PrivateXServer server;
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
};

} // namespace wakeward::test
