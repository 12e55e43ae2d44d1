#pragma once

#include "ui/FenmarchSheet.h"

class QCheckBox;
class QPushButton;

namespace wakeward {

// The welcome sheet: the application, the maker's other products and whether to show the
// welcome again. Continue, Escape and a click on the background all finish it.
class FenmarchWelcome : public FenmarchSheet {
    Q_OBJECT
public:
    FenmarchWelcome(const QString& name, QWidget* window);

    QString name() const { return m_name; }
    QCheckBox* showAtStartupBox() const { return m_showAtStartup; }
    QPushButton* continueButton() const { return m_continue; }
    // The product cards' addresses, in order.
    QList<QUrl> productLinks() const;

    void finish() { dismiss(); }

protected:
    void backgroundClicked() override { finish(); }
    void escapePressed() override { finish(); }

private:
    QString m_name;
    QCheckBox* m_showAtStartup = nullptr;
    QPushButton* m_continue = nullptr;
};

} // namespace wakeward
