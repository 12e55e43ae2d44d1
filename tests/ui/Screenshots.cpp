// Draws the Overview page and the tray panel as a new user first sees them, in the light and
// the dark appearance, into PNG files for the README. Run by scripts/screenshots on a private
// X server; not a test.
#include "App.h"
#include "UiRig.h"
#include "ui/Appearance.h"
#include "ui/FenmarchGuidance.h"
#include "ui/MainWindow.h"
#include "ui/Panel.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

using namespace wakeward;

namespace {

bool save(QWidget& widget, const QString& path) {
    widget.ensurePolished();
    const bool saved = widget.grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                 qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ui_screenshots FOLDER\n", stderr);
        return 2;
    }
    // Never the user's session bus, settings or files.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-screenshots");
    QApplication application(argc, argv);
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir settings;
    test::usePrivateSettings(settings);
    qputenv("XDG_CONFIG_HOME", settings.filePath(QStringLiteral("config")).toLocal8Bit());
    QSettings().setValue(fenmarch::showWelcomeKey, false);
    QSettings().setValue(fenmarch::showTourKey, false);

    bool ok = true;
    for (const QString& appearance : {QStringLiteral("light"), QStringLiteral("dark")}) {
        storeAppearance(appearance);
        test::ModelRig rig;
        // The countdowns run on the real clock.
        rig.time->now = Instant::now();
        rig.source->snapshot.battery = 87;
        auto model = rig.make();
        model->start(Profile(std::string("Nightly backup"), 90));
        App app(*model, false);
        app.window().resize(1100, 780);
        app.window().show();
        QTimer::singleShot(300, &application, &QCoreApplication::quit);
        QCoreApplication::exec();
        ok &= save(app.window(), folder + "/overview-" + appearance + ".png");
        if (Panel* panel = test::findPanel()) {
            panel->window()->adjustSize();
            ok &= save(*panel->window(), folder + "/panel-" + appearance + ".png");
        } else {
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
