#include "ui/InspectorPage.h"

#include "controller/Model.h"
#include "ui/StatusGroup.h"
#include "ui/Widgets.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

InspectorPage::InspectorPage(Model& model, TimeSource time, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    m_status = new StatusGroup(model, {std::move(time), {}}, this);
    m_status->setTitle(QStringLiteral("Owned by Wakeward"));
    m_ids = new QLabel(m_status);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    m_ids->setFont(fixed);
    m_ids->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->body()->addSpacing(4);
    m_status->body()->addWidget(m_ids);
    m_holders = captionLabel(QString(), m_status, false);
    m_holders->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->body()->addWidget(m_holders);
    m_status->body()->addWidget(captionLabel(
        QStringLiteral("These IDs report only this process’s assertions. The system releases them if "
                       "this app exits or crashes."),
        m_status));
    layout->addWidget(m_status);

    auto* others = new TitledGroup(QStringLiteral("Other reports from the system"), this);
    m_refresh = new QPushButton(QStringLiteral("Refresh reports"), others);
    connect(m_refresh, &QPushButton::clicked, &model, &Model::refreshOtherAssertions);
    others->body()->addWidget(m_refresh, 0, Qt::AlignLeft);
    others->body()->addWidget(captionLabel(
        QStringLiteral("Snapshot only. Attribution can be incomplete, and assertions do not prove "
                       "the cause of every sleep or wake event. This app cannot release another "
                       "process’s assertions."),
        others));
    m_note = new QLabel(others);
    m_note->setWordWrap(true);
    others->body()->addWidget(m_note);
    m_list = new QVBoxLayout;
    m_list->setSpacing(6);
    others->body()->addLayout(m_list);
    layout->addWidget(others);

    for (auto signal : {&Model::activeChanged, &Model::displayActiveChanged, &Model::reasonChanged})
        connect(&model, signal, this, &InspectorPage::refreshOwn);
    connect(&model, &Model::otherAssertionsChanged, this, &InspectorPage::refreshReports);
    refreshOwn();
    refreshReports();
}

void InspectorPage::setHeldAssertions(std::function<HeldAssertions()> held) {
    m_held = std::move(held);
    refreshOwn();
}

QStringList InspectorPage::reports() const {
    QStringList texts;
    for (const QLabel* label : m_reports)
        texts << label->text();
    return texts;
}

void InspectorPage::refreshOwn() {
    m_ids->setVisible(bool(m_held));
    m_holders->setVisible(bool(m_held));
    if (!m_held)
        return;
    const HeldAssertions held = m_held();
    m_ids->setText(QStringLiteral("System assertion ID: %1\nDisplay assertion ID: %2")
                       .arg(held.system)
                       .arg(held.display));
    // How each hold is made, so the user can see which desktop service keeps the machine awake.
    QStringList lines;
    if (held.system != 0 && !held.systemHolder.empty())
        lines << QStringLiteral("System assertion held through ") +
                     QString::fromStdString(held.systemHolder);
    if (held.display != 0 && !held.displayHolder.empty())
        lines << QStringLiteral("Display assertion held through ") +
                     QString::fromStdString(held.displayHolder);
    m_holders->setText(lines.join(QLatin1Char('\n')));
    m_holders->setVisible(!lines.isEmpty());
}

void InspectorPage::refreshReports() {
    while (QLayoutItem* item = m_list->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    m_reports.clear();
    const auto& others = m_model.otherAssertions();
    if (!others) {
        m_note->setText(QStringLiteral("System-wide assertion reports are unavailable in this "
                                       "environment. Your own session is still shown accurately."));
    } else if (others->empty()) {
        m_note->setText(QStringLiteral(
            "No other active assertions were returned. Coverage may be incomplete."));
    }
    m_note->setVisible(!others || others->empty());
    if (!others)
        return;
    QWidget* group = m_note->parentWidget();
    bool first = true;
    for (const std::string& entry : *others) {
        if (!first) {
            auto* divider = new QFrame(group);
            divider->setFrameShape(QFrame::HLine);
            divider->setFrameShadow(QFrame::Plain);
            divider->setForegroundRole(QPalette::Mid);
            m_list->addWidget(divider);
        }
        first = false;
        auto* line = new QLabel(QString::fromStdString(entry), group);
        line->setWordWrap(true);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_list->addWidget(line);
        m_reports << line;
    }
}

} // namespace wakeward
