#include "ui/RuleEditor.h"

#include "controller/Model.h"
#include "ui/EditorFrame.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <wakeward/Text.h>

namespace wakeward {

RuleEditor::RuleEditor(Rule rule, Model& model, QWidget* parent)
    : QDialog(parent), m_rule(std::move(rule)), m_model(model) {
    EditorFrame frame(this, QStringLiteral("Automation rule"));
    setMinimumWidth(620);

    auto* form = EditorFrame::form();
    m_name = EditorFrame::addTextField(this, form, QStringLiteral("Rule name"), m_rule.name,
                                       [this] { refresh(); });

    auto* matchRow = new QHBoxLayout;
    m_match = enumPicker<MatchMode>(QStringLiteral("Match"), this);
    selectCase(m_match, m_rule.mode);
    connect(m_match, &QComboBox::activated, this, [this](int index) {
        m_rule.mode = static_cast<MatchMode>(m_match->itemData(index).toInt());
    });
    m_priority = new QSpinBox(this);
    m_priority->setAccessibleName(QStringLiteral("Priority"));
    m_priority->setPrefix(QStringLiteral("Priority "));
    m_priority->setRange(0, 100);
    m_priority->setSingleStep(1);
    m_priority->setValue(static_cast<int>(std::clamp<std::int64_t>(m_rule.priority, 0, 100)));
    connect(m_priority, &QSpinBox::valueChanged, this,
            [this](int value) { m_rule.priority = value; });
    matchRow->addWidget(m_match);
    matchRow->addSpacing(12);
    matchRow->addWidget(m_priority);
    matchRow->addStretch(1);
    form->addRow(QStringLiteral("Match"), matchRow);
    frame.layout->addLayout(form);

    auto* list = new QWidget;
    m_conditions = new QVBoxLayout(list);
    m_conditions->setContentsMargins(0, 0, 0, 0);
    m_conditions->setSpacing(6);
    m_conditions->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::StyledPanel);
    scroll->setMinimumHeight(130);
    scroll->setMaximumHeight(220);
    frame.layout->addWidget(scroll);

    m_add = new QPushButton(QStringLiteral("Add condition"), this);
    m_add->setAutoDefault(false);
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_rule.conditions.push_back(Condition(SignalKind::runningApp, ""));
        rebuildConditions();
        refresh();
        m_rows.back().kind->setFocus();
    });
    frame.layout->addWidget(m_add, 0, Qt::AlignLeft);

    auto* settings = EditorFrame::form();
    settings->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    m_action = enumPicker<RuleAction>(QStringLiteral("Action"), this);
    selectCase(m_action, m_rule.action);
    connect(m_action, &QComboBox::activated, this, [this](int index) {
        m_rule.action = static_cast<RuleAction>(m_action->itemData(index).toInt());
        refresh();
    });
    settings->addRow(QStringLiteral("Action"), m_action);
    m_display = new QCheckBox(QStringLiteral("Also keep display awake"), this);
    m_display->setChecked(m_rule.display);
    connect(m_display, &QCheckBox::toggled, this, [this](bool on) { m_rule.display = on; });
    settings->addRow(QString(), m_display);
    auto* graceRow = new QHBoxLayout;
    m_grace = new NumberField(QStringLiteral("Seconds"), this);
    m_grace->setValue(m_rule.grace);
    connect(m_grace, &NumberField::valueEdited, this, [this](double value) {
        m_rule.grace = value;
        refresh();
    });
    graceRow->addWidget(m_grace);
    QLabel* graceCaption = captionLabel(QStringLiteral("seconds • 0 to 300"), this);
    // Beside a field of its own height: wrapped, it would be squeezed against the field.
    graceCaption->setWordWrap(false);
    graceRow->addSpacing(6);
    graceRow->addWidget(graceCaption);
    graceRow->addStretch(1);
    settings->addRow(QStringLiteral("Activation grace"), graceRow);
    m_enabled = new QCheckBox(QStringLiteral("Enable after saving"), this);
    m_enabled->setChecked(m_rule.enabled);
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) { m_rule.enabled = on; });
    settings->addRow(QString(), m_enabled);
    frame.layout->addLayout(settings);

    m_signalsToggle = new QToolButton(this);
    m_signalsToggle->setText(QStringLiteral("Available local signals"));
    m_signalsToggle->setArrowType(Qt::RightArrow);
    m_signalsToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_signalsToggle->setAutoRaise(true);
    m_signals = captionLabel(QString(), this, false);
    m_signals->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_signals->setTextFormat(Qt::PlainText);
    m_signals->setVisible(false);
    connect(m_signalsToggle, &QToolButton::clicked, this, [this] {
        const bool open = m_signals->isHidden();
        m_signalsToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        if (open)
            m_signals->setText(signalsSummary());
        m_signals->setVisible(open);
    });
    connect(&model, &Model::snapshotChanged, this, [this] {
        if (!m_signals->isHidden())
            m_signals->setText(signalsSummary());
    });
    frame.layout->addWidget(m_signalsToggle, 0, Qt::AlignLeft);
    frame.layout->addWidget(m_signals);

    auto* testRow = new QHBoxLayout;
    m_test = new QPushButton(QStringLiteral("Test without starting"), this);
    m_test->setAutoDefault(false);
    // The live test only rewrites the controller's trace; it never starts a session.
    connect(m_test, &QPushButton::clicked, this, [this] { m_model.test(m_rule); });
    m_trace = captionLabel(QString::fromStdString(model.ruleTrace()), this, false);
    m_trace->setTextFormat(Qt::PlainText);
    m_trace->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(&model, &Model::ruleTraceChanged, this,
            [this] { m_trace->setText(QString::fromStdString(m_model.ruleTrace())); });
    testRow->addWidget(m_test, 0, Qt::AlignTop);
    testRow->addWidget(m_trace, 1);
    frame.layout->addLayout(testRow);

    frame.finish(this, QStringLiteral("Save rule"));
    m_save = frame.save;
    m_cancel = frame.cancel;
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!acceptable(m_rule))
            return;
        emit saved(m_rule);
        accept();
    });
    rebuildConditions();
    refresh();
}

bool RuleEditor::acceptable(const Rule& rule) {
    return rule.valid() && !Text::unsafeNameProblem(rule.name) && std::isfinite(rule.grace) && rule.grace >= 0 && rule.grace <= 300;
}

QString RuleEditor::valueLabel(SignalKind kind) {
    if (!needsValue(kind))
        return {};
    if (numeric(kind))
        return QStringLiteral("Threshold");
    switch (kind) {
    case SignalKind::volume:
        return QStringLiteral("Volume UUID");
    case SignalKind::runningApp:
    case SignalKind::frontmostApp:
        return QStringLiteral("Executable name");
    default:
        return QStringLiteral("Name contains");
    }
}

QString RuleEditor::signalsSummary() const {
    QStringList apps;
    for (const RunningApp& app : m_model.runningApps())
        apps << (app.name.empty() ? QStringLiteral("App") : QString::fromStdString(app.name)) +
                    QStringLiteral(": ") + QString::fromStdString(app.identifier);
    QStringList volumes;
    for (const std::string& volume : m_model.snapshot().volumes)
        volumes << QString::fromStdString(volume);
    volumes.sort();
    return QStringLiteral("Apps: ") + apps.join(QLatin1Char('\n')) + QLatin1Char('\n') +
           QStringLiteral("Volume UUIDs: ") + volumes.join(QStringLiteral(", "));
}

void RuleEditor::rebuildConditions() {
    // A row's own remove button may be what asked for this, so old rows go only once control
    // has returned to the event loop.
    for (const ConditionRow& row : m_rows) {
        m_conditions->removeWidget(row.row);
        row.row->hide();
        row.row->deleteLater();
    }
    m_rows.clear();
    for (const Condition& condition : m_rule.conditions) {
        m_rows.push_back(makeRow(condition));
        m_conditions->insertWidget(m_conditions->count() - 1, m_rows.back().row);
    }
    // Keep Tab moving through the rows in list order, between "Priority" and "Add condition".
    QWidget* previous = m_priority;
    for (const ConditionRow& row : m_rows) {
        for (QWidget* next : {static_cast<QWidget*>(row.kind), static_cast<QWidget*>(row.value),
                              static_cast<QWidget*>(row.remove)}) {
            setTabOrder(previous, next);
            previous = next;
        }
    }
    setTabOrder(previous, m_add);
}

RuleEditor::ConditionRow RuleEditor::makeRow(const Condition& condition) {
    ConditionRow row;
    row.id = condition.id;
    row.row = new QWidget;
    auto* layout = new QHBoxLayout(row.row);
    layout->setContentsMargins(6, 2, 6, 2);
    row.kind = enumPicker<SignalKind>(QStringLiteral("Condition"), row.row);
    row.kind->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    selectCase(row.kind, condition.kind);
    row.label = new QLabel(row.row);
    row.value = new QLineEdit(QString::fromStdString(condition.value), row.row);
    row.value->setMinimumWidth(160);
    row.remove = new QToolButton(row.row);
    row.remove->setAccessibleName(QStringLiteral("Remove condition"));
    row.remove->setToolTip(QStringLiteral("Remove condition"));
    row.remove->setAutoRaise(true);
    row.remove->setFocusPolicy(Qt::StrongFocus);
    setSymbol(row.remove, QStringLiteral("minus.circle"));
    QPalette red = row.remove->palette();
    red.setColor(QPalette::ButtonText, QColor(0xd9, 0x44, 0x3a));
    row.remove->setPalette(red);
    layout->addWidget(row.kind);
    layout->addWidget(row.label);
    layout->addWidget(row.value, 1);
    layout->addStretch(0);
    layout->addWidget(row.remove);

    const Uuid id = condition.id;
    connect(row.kind, &QComboBox::activated, this, [this, id, kind = row.kind](int index) {
        if (Condition* found = this->condition(id))
            found->kind = static_cast<SignalKind>(kind->itemData(index).toInt());
        for (const ConditionRow& each : m_rows)
            if (each.id == id)
                refreshRow(each);
        refresh();
    });
    connect(row.value, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        if (Condition* found = this->condition(id))
            found->value = text.toStdString();
        refresh();
    });
    connect(row.remove, &QToolButton::clicked, this, [this, id] {
        // By identifier, not position: the list may have changed since the row was drawn.
        std::erase_if(m_rule.conditions, [&](const Condition& c) { return c.id == id; });
        rebuildConditions();
        refresh();
    });
    refreshRow(row);
    return row;
}

void RuleEditor::refreshRow(const ConditionRow& row) {
    const Condition* found = condition(row.id);
    if (!found)
        return;
    const QString label = valueLabel(found->kind);
    row.label->setText(label);
    row.value->setAccessibleName(label);
    row.value->setPlaceholderText(label);
    // A kind without a value hides the field but keeps what was typed, for switching back.
    row.label->setVisible(!label.isEmpty());
    row.value->setVisible(!label.isEmpty());
}

Condition* RuleEditor::condition(const Uuid& id) {
    const auto found = std::find_if(m_rule.conditions.begin(), m_rule.conditions.end(),
                                    [&](const Condition& c) { return c.id == id; });
    return found == m_rule.conditions.end() ? nullptr : &*found;
}

void RuleEditor::refresh() {
    // An "Allow idle sleep" rule holds nothing, so the display choice is kept but inactive.
    m_display->setEnabled(m_rule.action != RuleAction::allow);
    m_save->setEnabled(acceptable(m_rule));
}

} // namespace wakeward
