#pragma once

#include <QMainWindow>

namespace wakeward {

class Model;

// The main window "Wakeward": its File menu carries the session commands and quitting, its
// content is the dashboard, and closing it only hides it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Model& model, QWidget* content, QWidget* parent = nullptr);

    // Shows the window, raises it and asks the desktop to focus it.
    void present();

signals:
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Model& m_model;
};

} // namespace wakeward
