#include "../TestFiles.h"
#include "AppRig.h"
#include "controller/Transfer.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace wakeward {
namespace {

using test::AppRig;
using test::modeOf;
namespace fs = std::filesystem;

// The lines of a traced run that create or connect a socket of another family than a local one.
std::string networkUse(const QString& log) {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return "no trace was written";
    static const QRegularExpression call(
        QStringLiteral(R"([^\n]*(?:socket\(|connect\([0-9]+, \{sa_family=))"
                       R"((?!AF_UNIX\b|AF_LOCAL\b)(?:AF_[A-Z0-9]+|[0-9]+)[^\n]*)"));
    std::string found;
    for (const QRegularExpressionMatch& match : call.globalMatch(QString::fromUtf8(file.readAll())))
        found += match.captured().toStdString() + "\n";
    return found;
}

// Through a whole start and stop cycle, the application and its command line create no
// socket other than local ones: no network use, ever.
TEST(PrivacyTest, NoSocketOtherThanLocalThroughAStartStopCycle) {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is needed (scripts/packages.txt)";
    AppRig app;
    ASSERT_TRUE(app.ok());
    const QString instanceLog = QString::fromStdString((app.home() / "instance.trace").string());
    const QString commandLog = QString::fromStdString((app.home() / "command.trace").string());
    const QStringList trace = {strace, QStringLiteral("-f"), QStringLiteral("-qq"),
                               QStringLiteral("-e"), QStringLiteral("trace=socket,connect")};

    if (!app.launch(trace + QStringList{QStringLiteral("-o"), instanceLog})) {
        QFile log(instanceLog);
        if (!log.exists())
            GTEST_SKIP() << "strace cannot trace here (ptrace not permitted)";
        FAIL() << "the traced instance did not start";
    }
    const QStringList traced =
        trace + QStringList{QStringLiteral("-o"), commandLog, QStringLiteral("-A")};
    const test::Outcome started = app.run(
        {QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("5")}, traced);
    EXPECT_EQ(started.out, QStringLiteral("Wakeward is active.")) << started.err.toStdString();
    EXPECT_EQ(app.run({QStringLiteral("status")}, traced).exitCode, 0);
    EXPECT_EQ(app.run({QStringLiteral("stop")}, traced).exitCode, 0);
    ASSERT_TRUE(app.quit());

    QFile log(instanceLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("AF_UNIX")) << "the trace saw no D-Bus connection at all";
    EXPECT_EQ(networkUse(instanceLog), "");
    EXPECT_EQ(networkUse(commandLog), "");
}

// Exported files are the user's documents: new ones follow the umask like any file the user
// saves, and a replaced file keeps the mode the user gave it.
TEST(PrivacyTest, ExportedFilesFollowTheUmask) {
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    const mode_t saved = ::umask(022);
    const fs::path open = folder / "Wakeward Profiles.json";
    EXPECT_TRUE(Transfer::writeFileAtomically(open, "[]").ok());
    EXPECT_EQ(modeOf(open), 0644u);

    ::umask(077);
    const fs::path closed = folder / "Wakeward History.csv";
    EXPECT_TRUE(
        Transfer::writeFileAtomically(closed, "Date,Event,Reason,Battery,Duration seconds").ok());
    EXPECT_EQ(modeOf(closed), 0600u);

    ::umask(022);
    ::chmod(open.c_str(), 0640);
    EXPECT_TRUE(Transfer::writeFileAtomically(open, "[ ]").ok());
    EXPECT_EQ(modeOf(open), 0640u);
    ::umask(saved);
}

} // namespace
} // namespace wakeward
