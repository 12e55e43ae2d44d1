#pragma once

#include <QAbstractButton>
#include <optional>

namespace wakeward {

// One sidebar entry: the symbol in a fixed square, the name, a highlight while selected and,
// when there is one, a count at the trailing end. Entries of one sidebar are exclusive.
class FenmarchNavigationLabel : public QAbstractButton {
    Q_OBJECT
public:
    FenmarchNavigationLabel(const QString& name, const QString& symbol, QWidget* parent = nullptr);

    QString name() const { return text(); }
    QString symbol() const { return m_symbol; }
    bool selected() const { return isChecked(); }
    void setSelected(bool selected) { setChecked(selected); }
    std::optional<int> count() const { return m_count; }
    void setCount(std::optional<int> count);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_symbol;
    std::optional<int> m_count;
    bool m_hovered = false;
};

} // namespace wakeward
