#include "ui/LoginItemControl.h"

#include "controller/Model.h"
#include "platform/LoginItem.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace wakeward {

LoginItemControl::LoginItemControl(Model& model, LoginItem& loginItem, QWidget* parent)
    : QWidget(parent), m_model(model), m_loginItem(loginItem) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_status = new QLabel(this);
    m_button = new QPushButton(this);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &LoginItemControl::toggle);
    refresh();
}

void LoginItemControl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void LoginItemControl::refresh() {
    const bool enabled = m_loginItem.enabled();
    m_status->setText(QStringLiteral("Launch at login: ") +
                      (enabled ? QStringLiteral("Enabled") : QStringLiteral("Off or awaiting approval")));
    m_button->setText(enabled ? QStringLiteral("Disable launch at login") : QStringLiteral("Enable launch at login"));
}

void LoginItemControl::toggle() {
    // Read again: the entry may have been changed outside Wakeward since the page was drawn.
    const auto failure = m_loginItem.setEnabled(!m_loginItem.enabled());
    m_model.setMessage(failure ? *failure
                               : std::string("Login setting updated."));
    refresh();
}

} // namespace wakeward
