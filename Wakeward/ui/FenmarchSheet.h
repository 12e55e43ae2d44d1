#pragma once

#include <QWidget>

class QPushButton;
class QVBoxLayout;

namespace wakeward {

// A card shown over a whole window, which it dims: clicks outside the card and Tab focus
// stay with the sheet while it is open. Return presses the default button. A dismissed sheet
// hides, says so once and deletes itself.
class FenmarchSheet : public QWidget {
    Q_OBJECT
public:
    explicit FenmarchSheet(QWidget* window);

    QWidget* card() const { return m_card; }
    // Shows the sheet over its window and gives the default button the focus.
    void present();
    void dismiss();
    bool dismissed() const { return m_dismissed; }

signals:
    void closed();

protected:
    QVBoxLayout* cardLayout() const { return m_layout; }
    void setDefaultButton(QPushButton* button) { m_default = button; }
    // Clicks outside the card, and the Escape key; neither does anything unless overridden.
    virtual void backgroundClicked() {}
    virtual void escapePressed() {}

    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QWidget* m_card = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QPushButton* m_default = nullptr;
    bool m_dismissed = false;
};

} // namespace wakeward
