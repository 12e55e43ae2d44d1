#pragma once

#include <QMainWindow>
#include <QMargins>

namespace wakeward {

class Model;

// The main window "Wakeward": its File menu carries the session commands and quitting, its
// content is the dashboard, and closing it only hides it. It opens where it was last left.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Model& model, QWidget* content, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The size to open at and the smallest size on a screen with `available` room, where the
    // desktop adds `frame` around the window: 1100 by 780 and at least 950 by 660 where they
    // fit, otherwise all the room there is.
    struct Fit {
        QSize size;
        QSize minimum;
    };
    static Fit fitted(const QRect& available, const QMargins& frame);

    // Shows the window, raises it and asks the desktop to focus it.
    void present();

signals:
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rememberGeometry() const;

    Model& m_model;
};

} // namespace wakeward
