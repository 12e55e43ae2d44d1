#pragma once

#include <QDialog>
#include <vector>
#include <wakeward/Records.h>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class QVBoxLayout;

namespace wakeward {

class Model;
class NumberField;

// "Automation rule": edits a copy of one rule, tests it against the live signals without
// starting anything, and hands it back on "Save rule".
class RuleEditor : public QDialog {
    Q_OBJECT
public:
    RuleEditor(Rule rule, Model& model, QWidget* parent = nullptr);

    // A valid rule whose grace lies between 0 and 300 seconds.
    static bool acceptable(const Rule& rule);
    // The label of a condition's value field, or empty for a kind that takes no value.
    static QString valueLabel(SignalKind kind);

    const Rule& rule() const { return m_rule; }
    QLineEdit* nameField() const { return m_name; }
    QComboBox* matchPicker() const { return m_match; }
    QSpinBox* priorityStepper() const { return m_priority; }
    QComboBox* actionPicker() const { return m_action; }
    QCheckBox* displaySwitch() const { return m_display; }
    NumberField* graceField() const { return m_grace; }
    QCheckBox* enabledSwitch() const { return m_enabled; }
    QPushButton* addConditionButton() const { return m_add; }
    QToolButton* signalsToggle() const { return m_signalsToggle; }
    QLabel* signalsText() const { return m_signals; }
    QPushButton* testButton() const { return m_test; }
    QLabel* traceLabel() const { return m_trace; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The controls of the condition row at `index`, in list order.
    struct ConditionRow {
        Uuid id;
        QWidget* row = nullptr;
        QComboBox* kind = nullptr;
        QLabel* label = nullptr;
        QLineEdit* value = nullptr;
        QToolButton* remove = nullptr;
    };
    const std::vector<ConditionRow>& conditionRows() const { return m_rows; }

    // The text of "Available local signals".
    QString signalsSummary() const;

signals:
    void saved(const wakeward::Rule& rule);

private:
    void rebuildConditions();
    ConditionRow makeRow(const Condition& condition);
    void refreshRow(const ConditionRow& row);
    Condition* condition(const Uuid& id);
    void refresh();

    Rule m_rule;
    Model& m_model;
    QLineEdit* m_name = nullptr;
    QComboBox* m_match = nullptr;
    QSpinBox* m_priority = nullptr;
    QVBoxLayout* m_conditions = nullptr;
    std::vector<ConditionRow> m_rows;
    QPushButton* m_add = nullptr;
    QComboBox* m_action = nullptr;
    QCheckBox* m_display = nullptr;
    NumberField* m_grace = nullptr;
    QCheckBox* m_enabled = nullptr;
    QToolButton* m_signalsToggle = nullptr;
    QLabel* m_signals = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_trace = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace wakeward
