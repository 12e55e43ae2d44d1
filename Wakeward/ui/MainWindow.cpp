#include "ui/MainWindow.h"

#include "controller/Model.h"
#include "ui/Icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

namespace wakeward {

MainWindow::MainWindow(Model& model, QWidget* content, QWidget* parent) : QMainWindow(parent), m_model(model) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Wakeward"));
    setWindowIcon(appIcon());
    resize(1100, 780);
    setMinimumSize(950, 660);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* start = file->addAction(QStringLiteral("Start session"));
    start->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(start, &QAction::triggered, this, [this] { m_model.start(); });
    QAction* stop = file->addAction(QStringLiteral("Stop all sessions"));
    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(stop, &QAction::triggered, this, [this] { m_model.endAll("Stopped by you"); });
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit Wakeward"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &MainWindow::quitRequested);

    setCentralWidget(content);
}

void MainWindow::present() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the window leaves Wakeward running in the tray.
    event->ignore();
    hide();
}

} // namespace wakeward
