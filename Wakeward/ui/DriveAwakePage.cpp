#include "ui/DriveAwakePage.h"

#include "controller/Model.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

DriveAwakePage::DriveAwakePage(Model& model, QWidget* parent) : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    auto* group = new TitledGroup(QStringLiteral("Conservative drive activity"), this);
    QVBoxLayout* body = group->body();

    m_choose = new QPushButton(QStringLiteral("Choose file…"), group);
    connect(m_choose, &QPushButton::clicked, &model, &Model::selectDriveFile);
    body->addWidget(m_choose, 0, Qt::AlignLeft);
    m_path = new QLabel(group);
    m_path->setWordWrap(true);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->addWidget(m_path);

    m_enabled = new QCheckBox(QStringLiteral("Read periodically during an active session"), group);
    connect(m_enabled, &QCheckBox::clicked, this, [this](bool on) {
        // Reading needs a file; the switch is disabled without one, and stays off regardless.
        m_model.setDriveEnabled(on && m_model.driveURL().has_value());
        refresh();
    });
    body->addWidget(m_enabled);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Interval"), group));
    m_interval = new NumberField(QStringLiteral("Seconds"), group);
    connect(m_interval, &NumberField::valueEdited, &model, &Model::setDriveInterval);
    row->addWidget(m_interval);
    QLabel* unit = captionLabel(QStringLiteral("seconds • minimum 60"), group);
    unit->setWordWrap(false);
    row->addWidget(unit);
    row->addStretch(1);
    body->addLayout(row);

    m_status = new QLabel(group);
    m_status->setWordWrap(true);
    body->addWidget(m_status);
    body->addWidget(captionLabel(
        QStringLiteral("Reads at most 4 KB of your selected file. No writes, indexing, ejecting or "
                       "forced wake. Firmware and filesystem caches can make this ineffective; no "
                       "drive-awake guarantee is made. File access is not restored after "
                       "quitting."),
        group));
    layout->addWidget(group);

    for (auto signal : {&Model::driveURLChanged, &Model::driveEnabledChanged,
                        &Model::driveIntervalChanged, &Model::driveStatusChanged})
        connect(&model, signal, this, &DriveAwakePage::refresh);
    refresh();
}

void DriveAwakePage::refresh() {
    const auto& url = m_model.driveURL();
    m_path->setText(url ? QString::fromStdString(*url) : QStringLiteral("No file selected"));
    m_enabled->setEnabled(url.has_value());
    m_enabled->setChecked(m_model.driveEnabled());
    m_interval->setValue(m_model.driveInterval());
    m_status->setText(QString::fromStdString(m_model.driveStatus()));
}

} // namespace wakeward
