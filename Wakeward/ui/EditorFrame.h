#pragma once

#include <QString>
#include <functional>
#include <string>

class QCheckBox;
class QDialog;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

// The parts every editor sheet shares: a bold title on top and, at the bottom, "Cancel"
// (Escape) beside the emphasised save button (Return).
struct EditorFrame {
    QVBoxLayout* layout = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* save = nullptr;

    // Lays out the title; the caller adds the fields, then calls `finish`. The sheet fits
    // itself again whenever rows appear, vanish or grow while it is shown.
    EditorFrame(QDialog* dialog, const QString& title);
    // Adds the button row with the save button's text.
    void finish(QDialog* dialog, const QString& saveText);

    // Adds a check box below the fields that shows `field` and writes its changes back.
    QCheckBox* addSwitch(QDialog* dialog, const QString& text, bool& field);

    // Fits the sheet to its content: wrapped text needs the height that the sheet's width
    // asks for, which a sheet's minimum size does not account for.
    static void refit(QDialog* dialog);

    // A form laid out as the sheets' forms are.
    static QFormLayout* form();
    // Adds a row `label` to `form` with a text field that shows `text`, writes every edit back
    // to it and then calls `edited`.
    static QLineEdit* addTextField(QDialog* dialog, QFormLayout* form, const QString& label,
                                   std::string& text, std::function<void()> edited);
};

} // namespace wakeward
