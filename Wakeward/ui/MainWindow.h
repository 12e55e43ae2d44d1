#pragma once

#include <QMainWindow>

class QLabel;
class QTimer;

namespace wakeward {

class Model;

// The main window "Wakeward": its File menu carries the session commands and quitting, its
// content shows the controller's state, and closing it only hides it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Model& model, QWidget* content = nullptr, QWidget* parent = nullptr);

    // Shows the window, raises it and asks the desktop to focus it.
    void present();

signals:
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showPendingMessage();
    void refreshStatus();

    Model& m_model;
    QLabel* m_state = nullptr;
    QLabel* m_reason = nullptr;
    QLabel* m_countdown = nullptr;
    QLabel* m_battery = nullptr;
    QTimer* m_ticker = nullptr;
    bool m_alertOpen = false;
};

} // namespace wakeward
