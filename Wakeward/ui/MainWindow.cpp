#include "ui/MainWindow.h"

#include "controller/Model.h"
#include "ui/Format.h"
#include "ui/Icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

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

    if (!content) {
        // The controller's own status lines stand in the window until richer pages replace them.
        content = new QWidget(this);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(32, 32, 32, 32);
        m_state = new QLabel(content);
        QFont big = m_state->font();
        big.setPointSizeF(big.pointSizeF() * 1.6);
        big.setBold(true);
        m_state->setFont(big);
        m_reason = new QLabel(content);
        m_countdown = new QLabel(content);
        m_battery = new QLabel(content);
        for (auto* label : {m_state, m_reason, m_countdown, m_battery}) {
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            layout->addWidget(label);
        }
        layout->addStretch(1);
        m_ticker = new QTimer(this);
        m_ticker->setInterval(1000);
        connect(m_ticker, &QTimer::timeout, this, &MainWindow::refreshStatus);
        for (auto signal : {&Model::activeChanged, &Model::reasonChanged, &Model::deadlineChanged,
                            &Model::snapshotChanged})
            connect(&model, signal, this, &MainWindow::refreshStatus);
        refreshStatus();
    }
    setCentralWidget(content);
    connect(&model, &Model::messageChanged, this, &MainWindow::showPendingMessage);
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

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_ticker)
        refreshStatus();
    QTimer::singleShot(0, this, &MainWindow::showPendingMessage);
}

void MainWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (m_ticker)
        m_ticker->stop();
}

void MainWindow::showPendingMessage() {
    if (m_alertOpen || !isVisible() || !m_model.message())
        return;
    m_alertOpen = true;
    QMessageBox alert(QMessageBox::NoIcon, QStringLiteral("Wakeward"),
                      QString::fromStdString(*m_model.message()), QMessageBox::Ok, this);
    alert.exec();
    m_alertOpen = false;
    // However the alert was dismissed, the message has been seen.
    m_model.setMessage(std::nullopt);
}

void MainWindow::refreshStatus() {
    const bool active = m_model.active();
    m_state->setText(active ? QStringLiteral("Keeping your Mac awake") : QStringLiteral("Idle sleep allowed"));
    m_reason->setText(QString::fromStdString(m_model.reason()));
    const auto deadline = m_model.deadline();
    m_countdown->setVisible(deadline.has_value());
    if (deadline) {
        m_countdown->setText(QStringLiteral("Ends in ") + countdownText(*deadline - Instant::now()));
        if (isVisible() && !m_ticker->isActive())
            m_ticker->start();
    } else {
        m_ticker->stop();
    }
    m_battery->setText(QString::fromStdString(m_model.batteryText()));
}

} // namespace wakeward
