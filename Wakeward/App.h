#pragma once

#include "Shell.h"

#include <QObject>
#include <memory>

class QSystemTrayIcon;
class QMenu;
class QWidget;

namespace wakeward {

class LoginItem;
class MainWindow;
class Model;
class Panel;
class TrayWatcher;

// The desktop shell: the tray icon with its panel and the main window, all built on the one
// controller. Created only when there is a display.
class App : public QObject, public Shell {
    Q_OBJECT
public:
    // `background` starts in the tray only (the autostart entry), unless there is no tray.
    App(Model& model, bool background, QObject* parent = nullptr);
    ~App() override;

    // Shows and raises the main window.
    void activate() override;
    // Shows the main window on the inspector with a fresh list.
    void openInspector();
    // Ends the application, window open or not: the main window is not asked, since closing it
    // only hides it. The shell's aboutToQuit handler then shuts the controller down.
    static void quit();

    MainWindow& window();

signals:
    // The user chose "Sleep Inspector"; the dashboard shows its inspector page.
    void inspectorRequested();

private:
    void createTray();
    void togglePanel();
    void refreshTray();

    Model& m_model;
    // Before the window, whose settings page refers to it.
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QWidget> m_panelWindow;
    Panel* m_panel = nullptr;
    // Watches for a tray until one appears; the window stands in meanwhile.
    TrayWatcher* m_trayWatcher = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
};

} // namespace wakeward
