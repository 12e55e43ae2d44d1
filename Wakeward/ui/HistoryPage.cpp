#include "ui/HistoryPage.h"

#include "controller/Model.h"
#include "ui/LocalTime.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <wakeward/Text.h>

namespace wakeward {

namespace {

// Groups drawn per turn of the event loop: the first batch at once, the rest without
// freezing the window while up to 2,000 events are laid out.
constexpr std::size_t batchSize = 80;

} // namespace

HistoryPage::HistoryPage(Model& model, TimeSource time, QWidget* parent)
    : QWidget(parent), m_model(model), m_time(std::move(time)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QStringLiteral("Search events"));
    m_search->setAccessibleName(QStringLiteral("Search events"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, &HistoryPage::rebuild);
    row->addWidget(m_search, 1);
    m_export = new QPushButton(QStringLiteral("Export CSV…"), this);
    connect(m_export, &QPushButton::clicked, &model, &Model::exportHistory);
    row->addWidget(m_export);
    m_clear = new QPushButton(QStringLiteral("Clear…"), this);
    markDestructive(m_clear);
    connect(m_clear, &QPushButton::clicked, this, &HistoryPage::askToClear);
    row->addWidget(m_clear);
    layout->addLayout(row);

    m_retention = captionLabel(QString(), this);
    layout->addWidget(m_retention);
    m_empty =
        new QLabel(QStringLiteral("No sessions yet. Completed sessions will appear here."), this);
    m_empty->setWordWrap(true);
    layout->addWidget(m_empty);
    m_list = new QVBoxLayout;
    m_list->setSpacing(10);
    layout->addLayout(m_list);

    connect(&model, &Model::historyChanged, this, &HistoryPage::rebuild);
    connect(&model, &Model::retentionChanged, this, &HistoryPage::refreshCaption);
    refreshCaption();
    rebuild();
}

bool HistoryPage::matches(const HistoryEvent& event, const QString& query) {
    if (query.isEmpty())
        return true;
    return Text::containsIgnoringCase(event.reason + " " + event.type, query.toStdString());
}

QString HistoryPage::detailLine(const HistoryEvent& event) {
    QString line = QString::fromStdString(event.battery);
    if (event.duration > 0)
        line += QStringLiteral(" • %1 seconds")
                    .arg(static_cast<long long>(std::trunc(std::min(event.duration, 9.0e18))));
    return line;
}

void HistoryPage::refreshCaption() {
    m_retention->setText(QStringLiteral("Local events only • last %1 days • at most 2,000 records")
                             .arg(m_model.retention()));
}

void HistoryPage::rebuild() {
    ++m_generation;
    for (TitledGroup* group : m_groups) {
        m_list->removeWidget(group);
        group->hide();
        group->deleteLater();
    }
    m_groups.clear();
    m_listed.clear();
    const QString query = m_search->text();
    for (const HistoryEvent& event : m_model.history())
        if (matches(event, query))
            m_listed.push_back(event);
    // The sentence speaks of the history itself; a filter that finds nothing shows nothing.
    m_empty->setVisible(m_model.history().empty());
    // Hidden inside the dashboard, drawing up to 2,000 groups after every event would be
    // wasted; the page draws when it is next shown. A page on its own still draws at once.
    m_stale = parentWidget() && !isVisible();
    if (!m_stale)
        drawBatch();
}

void HistoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) {
        m_stale = false;
        drawBatch();
    }
}

void HistoryPage::drawBatch() {
    const std::size_t end = std::min(m_listed.size(), m_groups.size() + batchSize);
    const auto calendar = m_time.calendar();
    for (std::size_t i = m_groups.size(); i < end; ++i) {
        const HistoryEvent& event = m_listed[i];
        auto* group = new TitledGroup(QString::fromStdString(event.type) + QStringLiteral(" • ") +
                                          shortDateTime(event.date, calendar),
                                      this);
        auto* reason = new QLabel(QString::fromStdString(event.reason), group);
        reason->setWordWrap(true);
        reason->setTextInteractionFlags(Qt::TextSelectableByMouse);
        group->body()->addWidget(reason);
        group->body()->addWidget(captionLabel(detailLine(event), group));
        m_list->addWidget(group);
        m_groups.push_back(group);
    }
    if (m_groups.size() < m_listed.size()) {
        const unsigned generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                drawBatch();
        });
    }
}

void HistoryPage::askToClear() {
    if (m_confirm) {
        m_confirm->raise();
        return;
    }
    m_confirm = new QMessageBox(QMessageBox::Warning, QStringLiteral("Wakeward"),
                                QStringLiteral("Clear local history? This cannot be undone."),
                                QMessageBox::NoButton, this);
    m_confirm->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* clear =
        m_confirm->addButton(QStringLiteral("Clear history"), QMessageBox::DestructiveRole);
    markDestructive(clear);
    QPushButton* cancel = m_confirm->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    // The safe answer is the one that Return and Escape give.
    m_confirm->setDefaultButton(cancel);
    m_confirm->setEscapeButton(cancel);
    connect(m_confirm, &QMessageBox::buttonClicked, this, [this, clear](QAbstractButton* button) {
        if (button == clear)
            m_model.clearHistory();
    });
    m_confirm->open();
}

} // namespace wakeward
