#include "ui/MainWindow.h"

#include "controller/Model.h"
#include "ui/Icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

namespace wakeward {

namespace {

const QString geometryKey = QStringLiteral("windowGeometry");
const QSize defaultSize(1100, 780);
const QSize smallestSize(950, 660);
// The title bar and borders, which the desktop adds only once the window is shown.
const QMargins expectedFrame(2, 36, 2, 2);

} // namespace

MainWindow::MainWindow(Model& model, QWidget* content, QWidget* parent) : QMainWindow(parent), m_model(model) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Wakeward"));
    setWindowIcon(appIcon());
    const QRect available = screen() ? screen()->availableGeometry() : QRect();
    const Fit fit = fitted(available, expectedFrame);
    setMinimumSize(fit.minimum);
    if (!restoreGeometry(QSettings().value(geometryKey).toByteArray())) {
        resize(fit.size);
        if (available.isValid())
            move(available.center() - QPoint(fit.size.width(), fit.size.height()) / 2);
    }

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

MainWindow::~MainWindow() {
    if (isVisible())
        rememberGeometry();
}

MainWindow::Fit MainWindow::fitted(const QRect& available, const QMargins& frame) {
    if (!available.isValid())
        return {defaultSize, smallestSize};
    const QSize room = available.marginsRemoved(frame).size();
    return {defaultSize.boundedTo(room), smallestSize.boundedTo(room)};
}

void MainWindow::rememberGeometry() const {
    QSettings().setValue(geometryKey, QMainWindow::saveGeometry());
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

void MainWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    // A window minimised away is still where the user left it.
    if (!event->spontaneous())
        rememberGeometry();
}

} // namespace wakeward
