#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace wakeward::test {

// A private Xvfb display that DISPLAY points at while it runs (WAYLAND_DISPLAY unset).
class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer() { stop(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    /// Starts `program` and waits until it accepts clients; false when it did not.
    bool start(const QString& program) {
        m_server.setProgram(program);
        // -displayfd picks a free display and writes its number once the server accepts clients.
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("64x64x24")});
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start();
        if (!m_server.waitForStarted(10000))
            return false;
        QByteArray number;
        const QDeadlineTimer deadline(20000);
        while (!number.contains('\n') && !deadline.hasExpired() && m_server.waitForReadyRead(1000))
            number += m_server.readAllStandardOutput();
        if (!number.contains('\n'))
            return false;
        qputenv("DISPLAY", ":" + number.trimmed());
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

    /// The atom of `name` on `connection`; XCB_ATOM_NONE when there is no answer.
    static xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }

private:
    QProcess m_server;
};

} // namespace wakeward::test
