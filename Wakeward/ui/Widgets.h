#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QSignalBlocker>
#include <initializer_list>
#include <optional>
#include <vector>
#include <wakeward/Records.h>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

// A text field bound to a decimal number in the locale's form. Any number is accepted; text
// that is not a number leaves the bound value at the last valid number, and the field shows
// that number again once editing ends.
class NumberField : public QLineEdit {
    Q_OBJECT
public:
    explicit NumberField(const QString& accessibleName, QWidget* parent = nullptr);

    double value() const { return m_value; }
    // Shows `value` unless the user is typing something that already means it.
    void setValue(double value);

    // The number in the locale's decimal form, as the field writes it.
    static QString format(double value);
    // Reads the locale's decimal form (group separators allowed) or the plain C form.
    static std::optional<double> parse(const QString& text);

signals:
    // The user typed a new valid number.
    void valueEdited(double value);

private:
    void textWasEdited(const QString& text);

    double m_value = 0;
};

// A group as the pages are made of: a bold title above a rounded card that holds the content.
class TitledGroup : public QWidget {
    Q_OBJECT
public:
    explicit TitledGroup(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);
    // The card's layout, for the group's content.
    QVBoxLayout* body() const { return m_body; }

private:
    QLabel* m_title = nullptr;
    QVBoxLayout* m_body = nullptr;
};

// The child of type T named `name` in the group at `index`; any name when `name` is empty.
// Null past the end.
template <class T>
T* childInGroup(const std::vector<TitledGroup*>& groups, std::size_t index,
                const QString& name = QString()) {
    return index < groups.size() ? groups[index]->findChild<T*>(name) : nullptr;
}

// The WCAG contrast ratio of two opaque colours, from 1 to 21.
double contrastRatio(const QColor& first, const QColor& second);
// `colour` moved toward `towards` just far enough to stand out from every background by
// `ratio`; `towards` itself when no step is enough.
QColor withContrast(const QColor& colour, const QColor& towards,
                    std::initializer_list<QColor> backgrounds, double ratio);
// What a card is filled with on a window of this palette.
QColor cardFill(const QPalette& palette);
// The ring that custom-drawn controls show while they have the keyboard focus.
QColor focusColour(const QPalette& palette);

// The rounded card behind a group's content.
class Card : public QFrame {
    Q_OBJECT
public:
    explicit Card(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Smaller text, at `scale` of the parent's size; `secondary` also dims it.
QLabel* captionLabel(const QString& text, QWidget* parent, bool secondary = true,
                     qreal scale = 0.9);

// The main action of a row, drawn in the accent colour and bold.
void emphasise(QPushButton* button);
// Draws the button in the accent colour, or as its neighbours again.
void setAccented(QPushButton* button, bool accented);
// Whether the widget is drawn in the accent colour; the application style fills it flat, as
// the stock styles would lighten it below readable contrast for its white text.
bool isAccented(const QWidget* widget);
// The accent behind white text: emphasised buttons, selections, the step numbers.
QColor accentColour();
// An action that removes something, drawn in red.
void markDestructive(QPushButton* button);

// A picker of every case of `E` by its title, each item holding the case as an int.
template <class E> QComboBox* enumPicker(const QString& name, QWidget* parent) {
    auto* picker = new QComboBox(parent);
    picker->setAccessibleName(name);
    for (E value : allCases<E>()) {
        const auto text = title(value);
        picker->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        static_cast<int>(value));
    }
    return picker;
}

// Shows `value` in a picker made by enumPicker without reporting it as the user's choice.
template <class E> void selectCase(QComboBox* picker, E value) {
    const QSignalBlocker blocker(picker);
    picker->setCurrentIndex(picker->findData(static_cast<int>(value)));
}

// A user-given name as the text of a button, action or menu item: an "&" there would
// otherwise mark a keyboard accelerator and vanish.
QString literalButtonText(const QString& name);

// The widget's font scaled by `scale`, bold when asked.
QFont scaledFont(const QWidget* widget, qreal scale, bool bold);

} // namespace wakeward
