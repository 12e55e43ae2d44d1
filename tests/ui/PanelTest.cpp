#include "ui/Panel.h"

#include "UiRig.h"
#include "ui/Icons.h"
#include "ui/TrayWatcher.h"
#include "ui/Widgets.h"

#include <QKeySequence>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace wakeward;

class PanelTest : public QObject {
    Q_OBJECT

private slots:
    // Only favourites, in list order, at most six; nothing in their place when there are none.
    // A favourite starts its own profile.
    void favouritesFollowTheProfiles() {
        test::ModelRig rig;
        auto model = rig.make();
        Panel panel(*model, {});
        QCOMPARE(panel.favouriteLabels(),
                 QStringList({"Download", "File transfer", "Backup", "Presentation", "Render",
                              "External drive"}));
        test::button(&panel, QStringLiteral("Render"))->click();
        QCOMPARE(QString::fromStdString(model->reason()), QStringLiteral("Profile: Render"));

        Profiles profiles;
        for (int i = 1; i <= 8; ++i)
            profiles.push_back(Profile("P" + std::to_string(i)));
        profiles[1].favourite = false;
        // A name is shown as written: "&" marks no accelerator.
        profiles[3].name = "R&D build";
        model->setProfiles(profiles);
        QCOMPARE(panel.favouriteLabels(), QStringList({"P1", "P3", "R&D build", "P5", "P6", "P7"}));
        for (QPushButton* button : panel.findChildren<QPushButton*>())
            QVERIFY2(QKeySequence::mnemonic(button->text()).isEmpty(), qPrintable(button->text()));

        for (Profile& profile : profiles)
            profile.favourite = false;
        model->setProfiles(profiles);
        QVERIFY(panel.favouriteLabels().isEmpty());
    }

    // "Start 60 minutes" overwrites the form with a 60-minute duration before starting.
    void startSixtyMinutesSetsTheForm() {
        test::ModelRig rig;
        auto model = rig.make();
        model->setMode(SessionMode::indefinite);
        model->setMinutes(5);
        Panel panel(*model, {});
        const auto shown = [&panel] {
            return test::looks({panel.primaryButton(), panel.pauseButton()});
        };
        QCOMPARE(shown(), QStringLiteral("Start 60 minutes | Pause automation"));
        QVERIFY(panel.primaryButton()->font().bold()); // emphasised as every primary button
        panel.primaryButton()->click();
        QCOMPARE(model->mode(), SessionMode::duration);
        QCOMPARE(model->minutes(), 60.0);
        QCOMPARE(shown(), QStringLiteral("Stop all | Pause automation"));

        // Stopping from the panel pauses automation, and the pause button says so.
        panel.primaryButton()->click();
        QVERIFY(model->automationPaused());
        QCOMPARE(shown(), QStringLiteral("Start 60 minutes | Resume automation"));
        panel.pauseButton()->click();
        QVERIFY(!model->automationPaused());
        QCOMPARE(shown(), QStringLiteral("Start 60 minutes | Pause automation"));
    }

    // Both tray symbols stand out (3:1, as any graphic must) on light and dark panels alike.
    void traySymbolsReadOnAnyPanel() {
        for (bool active : {false, true})
            for (const QColor& panel : {QColor(Qt::white), QColor(0xf0, 0xf0, 0xf0),
                                        QColor(0x20, 0x20, 0x20), QColor(Qt::black)}) {
                QImage shown(22, 22, QImage::Format_RGB32);
                shown.fill(panel);
                QPainter(&shown).drawPixmap(0, 0, stateIcon(active).pixmap(22, 22));
                double best = 1;
                for (int y = 0; y < shown.height(); ++y)
                    for (int x = 0; x < shown.width(); ++x)
                        best = std::max(best, contrastRatio(shown.pixelColor(x, y), panel));
                QVERIFY2(best >= 3.0, qPrintable(QStringLiteral("%1 on %2: %3")
                                                     .arg(active ? "active" : "idle", panel.name())
                                                     .arg(best)));
            }
    }

    // With no tray at start, the watcher looks again until one appears, reports it once and
    // stops; a tray host that announces itself is looked for at once.
    void trayIsAwaited() {
        bool there = false;
        int checks = 0;
        TrayWatcher polled(
            [&] {
                ++checks;
                return there;
            },
            std::chrono::milliseconds(10));
        QSignalSpy appeared(&polled, &TrayWatcher::appeared);
        QVERIFY(!polled.found());
        QTRY_VERIFY(checks >= 3);
        QCOMPARE(appeared.count(), 0);
        there = true;
        QTRY_COMPARE(appeared.count(), 1);
        QVERIFY(polled.found());
        QVERIFY(!polled.polling());
        const int seen = checks;
        polled.check();
        QTest::qWait(30);
        QCOMPARE(checks, seen);
        QCOMPARE(appeared.count(), 1);

        there = false;
        TrayWatcher announced([&] { return there; }, std::chrono::milliseconds(0));
        QSignalSpy announcedSpy(&announced, &TrayWatcher::appeared);
        QVERIFY(!announced.polling());
        announced.check();
        QCOMPARE(announcedSpy.count(), 0);
        there = true;
        announced.check();
        QCOMPARE(announcedSpy.count(), 1);

        TrayWatcher present([] { return true; }, std::chrono::milliseconds(10));
        QVERIFY(present.found());
        QVERIFY(!present.polling());
    }
};

QTEST_MAIN(PanelTest)
#include "PanelTest.moc"
