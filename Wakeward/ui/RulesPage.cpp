#include "ui/RulesPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wakeward {

RulesPage::RulesPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model), m_dashboard(dashboard) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    m_new = new QPushButton(QStringLiteral("New rule"), this);
    emphasise(m_new);
    connect(m_new, &QPushButton::clicked, this, [this] { m_dashboard.editRule(Rule()); });
    m_pause = new QPushButton(this);
    connect(m_pause, &QPushButton::clicked, this,
            [this] { m_model.pauseAutomation(!m_model.automationPaused()); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_new);
    buttons->addWidget(m_pause);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(captionLabel(
        QStringLiteral("Manual sessions win. Otherwise the highest priority matching rule wins; an "
                       "Allow idle sleep rule also overrides schedules. Equal priorities use a "
                       "stable identifier order. A 15-second signal interval and per-rule grace "
                       "prevent rapid changes."),
        this));
    m_empty =
        captionLabel(QStringLiteral("No rules yet. Add one and test it before enabling."), this);
    layout->addWidget(m_empty);
    m_list = new QVBoxLayout;
    m_list->setSpacing(18);
    layout->addLayout(m_list);
    auto* live = new TitledGroup(QStringLiteral("Live test and conflicts"), this);
    m_trace = new QLabel(live);
    m_trace->setWordWrap(true);
    m_trace->setTextInteractionFlags(Qt::TextSelectableByMouse);
    live->body()->addWidget(m_trace);
    layout->addWidget(live);
    layout->addStretch(1);
    connect(&model, &Model::rulesChanged, this, &RulesPage::rebuild);
    connect(&model, &Model::automationPausedChanged, this, &RulesPage::refreshPause);
    connect(&model, &Model::ruleTraceChanged, this,
            [this] { m_trace->setText(QString::fromStdString(m_model.ruleTrace())); });
    m_trace->setText(QString::fromStdString(model.ruleTrace()));
    refreshPause();
    rebuild();
}

QString RulesPage::conditionsSummary(const Rule& rule) {
    QStringList parts;
    for (const Condition& condition : rule.conditions) {
        QString part = QString::fromUtf8(title(condition.kind));
        if (!condition.value.empty())
            part += QStringLiteral(": ") + QString::fromStdString(condition.value);
        parts << part;
    }
    return parts.join(rule.mode == MatchMode::all ? QStringLiteral(" AND ")
                                                  : QStringLiteral(" OR "));
}

QString RulesPage::actionLine(const Rule& rule) {
    return QStringLiteral("Priority %1 • ").arg(rule.priority) +
           QString::fromUtf8(title(rule.action));
}

QPushButton* RulesPage::testButton(std::size_t index) const {
    return childInGroup<QPushButton>(m_groups, index, QStringLiteral("test"));
}

QPushButton* RulesPage::deleteButton(std::size_t index) const {
    return childInGroup<QPushButton>(m_groups, index, QStringLiteral("delete"));
}

QCheckBox* RulesPage::enabledSwitch(std::size_t index) const {
    return childInGroup<QCheckBox>(m_groups, index);
}

void RulesPage::refreshPause() {
    m_pause->setText(m_model.automationPaused() ? QStringLiteral("Resume automation")
                                                : QStringLiteral("Pause automation"));
}

void RulesPage::changeRule(const Uuid& id, const std::optional<bool>& enabled) {
    Rules rules = m_model.rules();
    const auto found =
        std::find_if(rules.begin(), rules.end(), [&](const Rule& each) { return each.id == id; });
    if (found == rules.end())
        return;
    if (enabled)
        found->enabled = *enabled;
    else
        rules.erase(found);
    m_model.setRules(std::move(rules));
    m_model.commit();
}

QPushButton* RulesPage::editButton(std::size_t index) const {
    return childInGroup<QPushButton>(m_groups, index, QStringLiteral("edit"));
}

void RulesPage::rebuild() {
    for (TitledGroup* group : m_groups) {
        m_list->removeWidget(group);
        group->hide();
        group->deleteLater();
    }
    m_groups.clear();
    for (const Rule& rule : m_model.rules()) {
        auto* group = new TitledGroup(QString::fromStdString(rule.name), this);
        auto* top = new QHBoxLayout;
        auto* enabled = new QCheckBox(QStringLiteral("Enabled"), group);
        enabled->setChecked(rule.enabled);
        connect(enabled, &QCheckBox::clicked, this,
                [this, id = rule.id](bool on) { changeRule(id, on); });
        top->addWidget(enabled);
        top->addStretch(1);
        QLabel* action = captionLabel(actionLine(rule), group, false);
        action->setWordWrap(false);
        top->addWidget(action);
        group->body()->addLayout(top);
        auto* conditions = new QLabel(conditionsSummary(rule), group);
        conditions->setObjectName(QStringLiteral("conditions"));
        conditions->setWordWrap(true);
        group->body()->addWidget(conditions);
        auto* row = new QHBoxLayout;
        auto* test = new QPushButton(QStringLiteral("Test"), group);
        test->setObjectName(QStringLiteral("test"));
        connect(test, &QPushButton::clicked, this, [this, rule] { m_model.test(rule); });
        row->addWidget(test);
        auto* edit = new QPushButton(QStringLiteral("Edit"), group);
        edit->setObjectName(QStringLiteral("edit"));
        connect(edit, &QPushButton::clicked, this, [this, rule] { m_dashboard.editRule(rule); });
        row->addWidget(edit);
        auto* remove = new QPushButton(QStringLiteral("Delete"), group);
        remove->setObjectName(QStringLiteral("delete"));
        markDestructive(remove);
        connect(remove, &QPushButton::clicked, this,
                [this, id = rule.id] { changeRule(id, std::nullopt); });
        row->addWidget(remove);
        row->addStretch(1);
        group->body()->addLayout(row);
        m_list->addWidget(group);
        m_groups.push_back(group);
    }
    m_empty->setVisible(m_model.rules().empty());
}

} // namespace wakeward
