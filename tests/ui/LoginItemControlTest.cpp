#include "ModelRig.h"
#include "platform/XdgAutostart.h"
#include "ui/LoginItemControl.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace wakeward;

class LoginItemControlTest : public QObject {
    Q_OBJECT

private slots:
    // Enabling writes the autostart entry; disabling removes it; each says so in the message.
    void switchesTheAutostartEntry() {
        test::ModelRig rig;
        auto model = rig.make();
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("wakeward --background"));
        LoginItemControl control(*model, autostart);
        QCOMPARE(control.statusLabel()->text(), QStringLiteral("Launch at login: Off or awaiting approval"));
        QCOMPARE(control.button()->text(), QStringLiteral("Enable launch at login"));

        control.button()->click();
        QFile entry(autostart.entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.contains("Exec=wakeward --background\n"));
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QCOMPARE(control.statusLabel()->text(), QStringLiteral("Launch at login: Enabled"));
        QCOMPARE(control.button()->text(), QStringLiteral("Disable launch at login"));
        QCOMPARE(model->message().value_or(""),
                 std::string("Login setting updated."));

        control.button()->click();
        QVERIFY(!QFile::exists(autostart.entryPath()));
        QCOMPARE(control.button()->text(), QStringLiteral("Enable launch at login"));
    }

    // An entry the user hid counts as off, and enabling replaces it with a visible one.
    void hiddenEntryCountsAsOff() {
        test::ModelRig rig;
        auto model = rig.make();
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("wakeward --background"));
        QVERIFY(QDir().mkpath(config.filePath(QStringLiteral("autostart"))));
        QFile entry(autostart.entryPath());
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nExec=wakeward\nHidden = True\n");
        entry.close();
        LoginItemControl control(*model, autostart);
        QCOMPARE(control.statusLabel()->text(), QStringLiteral("Launch at login: Off or awaiting approval"));
        control.button()->click();
        QVERIFY(autostart.enabled());
    }

    // A failure leaves the state as it was and shows its description.
    void failureShowsItsDescription() {
        test::ModelRig rig;
        auto model = rig.make();
        QTemporaryDir config;
        QFile blocker(config.filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        XdgAutostart autostart(config.path(), QStringLiteral("wakeward --background"));
        LoginItemControl control(*model, autostart);
        control.button()->click();
        QVERIFY(!autostart.enabled());
        QVERIFY(model->message().has_value());
        QVERIFY(model->message()->find("could not be created") != std::string::npos);
        QCOMPARE(control.button()->text(), QStringLiteral("Enable launch at login"));
    }
};

QTEST_MAIN(LoginItemControlTest)
#include "LoginItemControlTest.moc"
