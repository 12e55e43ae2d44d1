#include "ui/RulesPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

RulesPage::RulesPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model), m_dashboard(dashboard) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    m_new = new QPushButton(QStringLiteral("New rule"), this);
    emphasise(m_new);
    connect(m_new, &QPushButton::clicked, this, [this] { m_dashboard.editRule(Rule()); });
    layout->addWidget(m_new, 0, Qt::AlignLeft);
    m_list = new QVBoxLayout;
    m_list->setSpacing(18);
    layout->addLayout(m_list);
    layout->addStretch(1);
    connect(&model, &Model::rulesChanged, this, &RulesPage::rebuild);
    rebuild();
}

QPushButton* RulesPage::editButton(std::size_t index) const {
    return index < m_groups.size()
               ? m_groups[index]->findChild<QPushButton*>(QStringLiteral("edit"))
               : nullptr;
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
        auto* row = new QHBoxLayout;
        auto* edit = new QPushButton(QStringLiteral("Edit"), group);
        edit->setObjectName(QStringLiteral("edit"));
        connect(edit, &QPushButton::clicked, this, [this, rule] { m_dashboard.editRule(rule); });
        row->addWidget(edit);
        row->addStretch(1);
        group->body()->addLayout(row);
        m_list->addWidget(group);
        m_groups.push_back(group);
    }
}

} // namespace wakeward
