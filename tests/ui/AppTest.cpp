#include "App.h"

#include "UiRig.h"
#include "ui/FenmarchGuidance.h"
#include "ui/MainWindow.h"
#include "ui/Panel.h"
#include "ui/QtFileDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

using namespace wakeward;

namespace {

// A window that stays open when asked to close, as the main window does on toolkits that ask
// every window before quitting.
class StubbornWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

} // namespace

// The desktop shell as the executable builds it, on a controller with fakes.
class AppTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

    struct Shell {
        test::ModelRig rig;
        std::shared_ptr<int> listings = std::make_shared<int>(0);
        std::unique_ptr<Model> model;
        std::unique_ptr<App> app;

        Shell() {
            test::countListings(rig, listings);
            model = rig.make();
            app = std::make_unique<App>(*model, false);
        }
        MainWindow& window() { return app->window(); }
    };

    // Runs the event loop until something ends it; 0 when the app quit, 1 when nothing did.
    static int runUntilQuit(const std::function<void()>& action) {
        QTimer::singleShot(0, action);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        return QCoreApplication::exec();
    }

private slots:
    void initTestCase() {
        test::usePrivateSettings(m_settings);
        qputenv("XDG_CONFIG_HOME", m_settings.filePath(QStringLiteral("config")).toLocal8Bit());
    }
    void init() {
        QSettings().clear();
        // The welcome sheet would sit in front of the window.
        QSettings().setValue(fenmarch::showWelcomeKey, false);
        QSettings().setValue(fenmarch::showTourKey, false);
    }

    // Quitting ends the run while windows are open, even one that refuses to close, from the
    // menu's shortcut and from the panel.
    void quitWithTheWindowOpen_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("Ctrl+Q") << QStringLiteral("shortcut");
        QTest::newRow("panel") << QStringLiteral("panel");
    }
    void quitWithTheWindowOpen() {
        QFETCH(QString, route);
        Shell shell;
        StubbornWindow stubborn;
        stubborn.show();
        shell.app->activate();
        QVERIFY(QTest::qWaitForWindowActive(&shell.window()));
        const int result = runUntilQuit([&] {
            if (route == QLatin1String("shortcut"))
                QTest::keyClick(&shell.window(), Qt::Key_Q, Qt::ControlModifier);
            else
                test::button(test::findPanel(), QStringLiteral("Quit Wakeward"))->click();
        });
        QCOMPARE(result, 0);
    }

    // Closing hides the window and the app goes on; the panel's "Sleep Inspector" shows it again
    // on a fresh list.
    void closeThenReopenFromThePanel() {
        Shell shell;
        QVERIFY(QTest::qWaitForWindowExposed(&shell.window()));
        const int result = runUntilQuit([&] {
            shell.window().close();
            QTimer::singleShot(200, [] { QCoreApplication::exit(2); });
        });
        QCOMPARE(result, 2);
        QVERIFY(!shell.window().isVisible());
        const int before = *shell.listings;
        test::button(test::findPanel(), QStringLiteral("Sleep Inspector"))->click();
        QVERIFY(shell.window().isVisible());
        QVERIFY(*shell.listings > before);
    }

    // The File menu's commands: start uses the form as it stands, stop ends everything.
    void sessionShortcuts() {
        Shell shell;
        QVERIFY(QTest::qWaitForWindowActive(&shell.window()));
        QTest::keyClick(&shell.window(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(shell.model->manual());
        QTest::keyClick(&shell.window(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!shell.model->active());
        QVERIFY(shell.model->automationPaused());
    }

    // The open dialog starts in the home folder, never the working folder, then where the last
    // file was chosen.
    void fileChooserStartsAtHomeThenTheLastFolder() {
        QTemporaryDir home;
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        QDir(home.path()).mkpath(QStringLiteral("drive"));
        const QString file = home.filePath(QStringLiteral("drive/probe.bin"));
        QFile(file).open(QIODevice::WriteOnly);

        QtFileDialogs dialogs;
        QStringList startedIn;
        for (int time = 0; time < 2; ++time) {
            QTimer::singleShot(0, [&startedIn, &file] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                startedIn << dialog->directory().absolutePath();
                dialog->selectFile(file);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            QCOMPARE(dialogs.openFile("Choose"),
                     std::optional(std::filesystem::path(file.toStdString())));
        }
        qputenv("HOME", savedHome);
        QCOMPARE(startedIn, (QStringList{home.path(), home.filePath(QStringLiteral("drive"))}));
    }

    // Every text the window and the panel show speaks of this platform: no other system's
    // name for the machine, the system or its keys.
    void textsUseLinuxWording() {
        Shell shell;
        // Pages are built when first visited.
        auto* dashboard = shell.window().findChild<Dashboard*>();
        QVERIFY(dashboard);
        for (const QString& title : Dashboard::pageTitles())
            QVERIFY(dashboard->pageWidget(title));
        const QRegularExpression foreign(
            QStringLiteral("\\bMac\\b|macOS|\\bCommand\\b|Bundle identifier"));
        int texts = 0;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QWidget* widget : top->findChildren<QWidget*>()) {
                // Labels, buttons and fields all name their text "text".
                QStringList shown{widget->toolTip(), widget->accessibleName(),
                                  widget->property("text").toString()};
                for (QAction* action : widget->actions())
                    shown << action->text();
                for (const QString& text : shown) {
                    texts += !text.isEmpty();
                    QVERIFY2(!foreign.match(text).hasMatch(), qPrintable(text));
                }
            }
        }
        QVERIFY(texts > 100);
    }
};

int main(int argc, char** argv) {
    // Never the user's session bus: the shell watches it for a tray.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-test");
    // Qt's own dialogs, which a test can answer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppTest.moc"
