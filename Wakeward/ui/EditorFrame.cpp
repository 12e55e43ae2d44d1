#include "ui/EditorFrame.h"

#include "ui/Widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <wakeward/Text.h>

namespace wakeward {

namespace {

// Refits a shown sheet after its layout has taken in a change of content.
class Refit : public QObject {
public:
    explicit Refit(QDialog* dialog) : QObject(dialog) { dialog->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Events still arrive while the dialog is being destroyed, when it is no dialog any more.
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && ((event->type() == QEvent::LayoutRequest && dialog->isVisible()) ||
                       event->type() == QEvent::Show))
            EditorFrame::refit(dialog);
        return false;
    }
};

} // namespace

EditorFrame::EditorFrame(QDialog* dialog, const QString& title) {
    dialog->setWindowTitle(title);
    dialog->setModal(true);
    // The sheet takes the main window's light or dark palette.
    dialog->setAttribute(Qt::WA_WindowPropagation);
    layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->setSpacing(12);
    auto* heading = new QLabel(title, dialog);
    heading->setFont(scaledFont(dialog, 1.3, true));
    layout->addWidget(heading);
    new Refit(dialog);
}

void EditorFrame::refit(QDialog* dialog) {
    QLayout* layout = dialog->layout();
    if (!layout)
        return;
    layout->activate();
    const int width = std::max(dialog->width(), layout->totalMinimumSize().width());
    int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                             : layout->totalSizeHint().height();
    if (const QScreen* screen = dialog->screen())
        height = std::min(height, screen->availableGeometry().height());
    height = std::max(height, layout->totalMinimumSize().height());
    if (dialog->minimumHeight() != height)
        dialog->setMinimumHeight(height);
    if (dialog->size() != QSize(width, height))
        dialog->resize(width, height);
}

void EditorFrame::finish(QDialog* dialog, const QString& saveText) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setAutoDefault(false);
    save = new QPushButton(saveText, dialog);
    save->setDefault(true);
    emphasise(save);
    row->addWidget(cancel);
    row->addWidget(save);
    layout->addSpacing(6);
    layout->addLayout(row);
    // Escape rejects the dialog by itself; Return presses the default button.
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QCheckBox* EditorFrame::addSwitch(QDialog* dialog, const QString& text, bool& field) {
    auto* box = new QCheckBox(text, dialog);
    box->setChecked(field);
    QObject::connect(box, &QCheckBox::toggled, dialog, [&field](bool on) { field = on; });
    layout->addWidget(box);
    return box;
}

QFormLayout* EditorFrame::form() {
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(14);
    return form;
}

QLineEdit* EditorFrame::addTextField(QDialog* dialog, QFormLayout* form, const QString& label,
                                     std::string& text, std::function<void()> edited) {
    auto* field = new QLineEdit(QString::fromStdString(text), dialog);
    field->setAccessibleName(label);
    // The editors refuse such names; the field says why, as "Save" alone cannot.
    auto explain = [field](const std::string& value) {
        field->setToolTip(Text::unsafeNameProblem(value)
                              ? QStringLiteral("A name cannot hold control characters or more "
                                               "than %1 bytes.")
                                    .arg(Text::maxNameBytes)
                              : QString());
    };
    explain(text);
    QObject::connect(field, &QLineEdit::textEdited, dialog,
                     [&text, explain, edited = std::move(edited)](const QString& value) {
                         text = value.toStdString();
                         explain(text);
                         edited();
                     });
    form->addRow(label, field);
    return field;
}

} // namespace wakeward
