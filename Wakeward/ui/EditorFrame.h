#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

// The parts every editor sheet shares: a bold title on top and, at the bottom, "Cancel"
// (Escape) beside the emphasised save button (Return).
struct EditorFrame {
    QVBoxLayout* layout = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* save = nullptr;

    // Lays out the title; the caller adds the fields, then calls `finish`.
    EditorFrame(QDialog* dialog, const QString& title);
    // Adds the button row with the save button's text.
    void finish(QDialog* dialog, const QString& saveText);
};

} // namespace wakeward
