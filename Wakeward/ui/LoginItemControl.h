#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace wakeward {

class LoginItem;
class Model;

// "Launch at login" status and its switch button; the status is read afresh whenever shown.
class LoginItemControl : public QWidget {
    Q_OBJECT
public:
    LoginItemControl(Model& model, LoginItem& loginItem, QWidget* parent = nullptr);

    QLabel* statusLabel() const { return m_status; }
    QPushButton* button() const { return m_button; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void toggle();

    Model& m_model;
    LoginItem& m_loginItem;
    QLabel* m_status = nullptr;
    QPushButton* m_button = nullptr;
};

} // namespace wakeward
