#include "ui/ProfileEditor.h"

#include "ui/EditorFrame.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <wakeward/Text.h>

namespace wakeward {

ProfileEditor::ProfileEditor(Profile profile, QWidget* parent)
    : QDialog(parent), m_profile(std::move(profile)) {
    EditorFrame frame(this, QStringLiteral("Task profile"));
    auto* form = EditorFrame::form();
    m_name = EditorFrame::addTextField(this, form, QStringLiteral("Name"), m_profile.name,
                                       [this] { refreshSave(); });
    m_name->setMinimumWidth(260);
    m_minutes = new NumberField(QStringLiteral("Minutes"), this);
    m_minutes->setValue(m_profile.minutes);
    connect(m_minutes, &NumberField::valueEdited, this, [this](double value) {
        m_profile.minutes = value;
        refreshSave();
    });
    form->addRow(QStringLiteral("Minutes"), m_minutes);
    frame.layout->addLayout(form);

    m_display = frame.addSwitch(this, QStringLiteral("Keep display awake"), m_profile.display);
    m_mains = frame.addSwitch(this, QStringLiteral("Mains power only"), m_profile.acOnly);
    m_favourite = frame.addSwitch(this, QStringLiteral("Menu-bar favourite"), m_profile.favourite);

    frame.finish(this, QStringLiteral("Save"));
    m_save = frame.save;
    m_cancel = frame.cancel;
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!acceptable(m_profile))
            return;
        emit saved(m_profile);
        accept();
    });
    refreshSave();
}

bool ProfileEditor::acceptable(const Profile& profile) {
    const bool named = profile.name.find_first_not_of(" \t") != std::string::npos;
    return named && !Text::unsafeNameProblem(profile.name) && std::isfinite(profile.minutes) && profile.minutes >= 1 &&
           profile.minutes <= 1440;
}

void ProfileEditor::refreshSave() {
    m_save->setEnabled(acceptable(m_profile));
}

} // namespace wakeward
