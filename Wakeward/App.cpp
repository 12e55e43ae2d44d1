#include "App.h"

#include "controller/Model.h"
#include "platform/XdgAutostart.h"
#include "ui/Appearance.h"
#include "ui/Dashboard.h"
#include "ui/FenmarchExperience.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/Panel.h"
#include "ui/QtFileDialogs.h"
#include "ui/TrayWatcher.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace wakeward {

namespace {

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

const QString notifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString notifierWatcherPath = QStringLiteral("/StatusNotifierWatcher");

bool notifierHostRegistered() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        notifierWatcher, notifierWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << notifierWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    get.setAutoStartService(false);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

// Qt decides once per process whether a StatusNotifierItem host exists and never asks again.
// On Wayland no XEmbed tray can stand in, so Qt is asked only once a host has registered.
bool trayAvailable() {
    if (onWayland() && !notifierHostRegistered())
        return false;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

// Keeps the panel inside the screen that holds `anchor`.
QPoint placeNear(const QRect& anchor, const QSize& size) {
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size);
    QPoint at(anchor.center().x() - size.width() / 2, anchor.bottom() + 4);
    if (at.y() + size.height() > area.bottom())
        at.setY(anchor.top() - size.height() - 4);
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    return at;
}

} // namespace

App::App(Model& model, bool background, QObject* parent) : QObject(parent), m_model(model) {
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(appIcon());

    m_loginItem = std::make_unique<XdgAutostart>(XdgAutostart::userConfigHome(),
                                                 QStringLiteral("wakeward --background"));
    applyAppearance(storedAppearance());

    // On Wayland the compositor places windows, so the panel is a small ordinary window there.
    m_panelWindow = std::make_unique<QWidget>(nullptr, onWayland() ? Qt::Window : Qt::Popup);
    m_panelWindow->setWindowTitle(QStringLiteral("Wakeward"));
    auto* layout = new QVBoxLayout(m_panelWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);
    Panel::Actions actions;
    actions.openApp = [this] {
        m_panelWindow->hide();
        activate();
    };
    actions.openInspector = [this] {
        m_panelWindow->hide();
        openInspector();
    };
    actions.quit = &App::quit;
    m_panel = new Panel(model, actions, m_panelWindow.get());
    layout->addWidget(m_panel);

    // Only XEmbed trays need looking for; a StatusNotifierItem host announces itself.
    m_trayWatcher = new TrayWatcher(&trayAvailable,
                                    onWayland() ? std::chrono::seconds(0) : std::chrono::seconds(5),
                                    this);
    const bool trayFound = m_trayWatcher->found();
    if (trayFound) {
        createTray();
    } else {
        connect(m_trayWatcher, &TrayWatcher::appeared, this, &App::createTray);
        auto* names = new QDBusServiceWatcher(notifierWatcher, QDBusConnection::sessionBus(),
                                              QDBusServiceWatcher::WatchForRegistration,
                                              m_trayWatcher);
        connect(names, &QDBusServiceWatcher::serviceRegistered, m_trayWatcher,
                &TrayWatcher::check);
        QDBusConnection::sessionBus().connect(notifierWatcher, notifierWatcherPath, notifierWatcher,
                                              QStringLiteral("StatusNotifierHostRegistered"),
                                              m_trayWatcher, SLOT(check()));
    }
    if (!background || !trayFound)
        activate();
}

void App::createTray() {
    m_tray = new QSystemTrayIcon(this);
    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->addAction(QStringLiteral("Open app"), this, &App::activate);
    m_trayMenu->addAction(QStringLiteral("Quit Wakeward"), this, &App::quit);
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            togglePanel();
    });
    connect(&m_model, &Model::activeChanged, this, &App::refreshTray);
    refreshTray();
    m_tray->show();
}

App::~App() = default;

// Built when first shown: an instance that starts in the tray and is never opened carries none
// of its pages.
MainWindow& App::window() {
    if (m_window)
        return *m_window;
    auto* dashboard = new Dashboard(m_model);
    connect(this, &App::inspectorRequested, dashboard, &Dashboard::showInspector);
    dashboard->setLoginItem(*m_loginItem);
    dashboard->setHeldAssertions([&model = m_model] {
        const Assertions& held = model.assertions();
        return HeldAssertions{held.system(), held.display(), held.systemHolder(), held.displayHolder()};
    });
    m_window = std::make_unique<MainWindow>(m_model, dashboard);
    // The welcome and the walkthrough, once per run, when the window first appears.
    new FenmarchExperience(m_window.get(), QStringLiteral("Wakeward"), true,
                           fenmarch::wakewardTourSteps());
    m_model.setFileDialogs(std::make_unique<QtFileDialogs>(m_window.get()));
    connect(m_window.get(), &MainWindow::quitRequested, this, &App::quit);
    return *m_window;
}

void App::activate() {
    window().present();
}

void App::quit() {
    // quit() would first ask every window to close, and the main window refuses.
    QCoreApplication::exit(0);
}

void App::openInspector() {
    activate();
    // The dashboard shows the inspector page, which reads the reports afresh.
    emit inspectorRequested();
}

void App::togglePanel() {
    if (m_panelWindow->isVisible()) {
        m_panelWindow->hide();
        return;
    }
    m_panelWindow->adjustSize();
    if (!onWayland()) {
        // XEmbed trays report where the icon is; others leave only the pointer to go by.
        const QRect icon = m_tray ? m_tray->geometry() : QRect();
        const QRect anchor = icon.isValid() && !icon.isEmpty() ? icon : QRect(QCursor::pos(), QSize(1, 1));
        m_panelWindow->move(placeNear(anchor, m_panelWindow->sizeHint()));
    }
    m_panelWindow->show();
    m_panelWindow->raise();
    m_panelWindow->activateWindow();
}

void App::refreshTray() {
    const bool active = m_model.active();
    m_tray->setIcon(stateIcon(active));
    m_tray->setToolTip(active ? QStringLiteral("Wakeward • Awake") : QStringLiteral("Wakeward"));
}

} // namespace wakeward
