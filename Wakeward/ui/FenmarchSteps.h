#pragma once

#include <QStringList>
#include <QWidget>

class QVBoxLayout;

namespace wakeward {

// Numbered instructions: one row per text, its number in a small filled circle.
class FenmarchSteps : public QWidget {
    Q_OBJECT
public:
    explicit FenmarchSteps(QWidget* parent = nullptr);

    QStringList steps() const { return m_steps; }
    void setSteps(const QStringList& steps);

private:
    QStringList m_steps;
    QVBoxLayout* m_rows = nullptr;
};

} // namespace wakeward
