#include "platform/AudioOutput.h"

#include <QTemporaryDir>
#include <QtGlobal>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace wakeward {
namespace {

// Keeps libpulse away from the real user's sound server and files.
class AudioOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, dir.path().toUtf8());
        qunsetenv("DISPLAY");
    }

    QTemporaryDir dir;
};

// No sound server: absent, and none is started.
TEST_F(AudioOutputTest, NoServerIsAbsent) {
    qputenv("PULSE_SERVER", ("unix:" + dir.filePath(QStringLiteral("missing"))).toUtf8());
    EXPECT_FALSE(AudioOutput::defaultSinkDescription());
}

// A server that accepts but never answers: absent once the deadline passes instead of waiting on
// it.
TEST_F(AudioOutputTest, SilentServerGivesUpAtTheDeadline) {
    const QByteArray path = dir.filePath(QStringLiteral("silent")).toUtf8();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    qputenv("PULSE_SERVER", "unix:" + path);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(AudioOutput::defaultSinkDescription(std::chrono::milliseconds(250)));
    // A generous bound that only a missing deadline (libpulse's own is several seconds) would
    // break.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    // The library is opened on first use: an absent answer must still come from a real attempt.
    pollfd pending{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&pending, 1, 0), 1) << "the sound library never connected";
    ::close(listener);
}

} // namespace
} // namespace wakeward
