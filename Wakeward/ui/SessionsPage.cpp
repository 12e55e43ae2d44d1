#include "ui/SessionsPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/LocalTime.h"
#include "ui/StatusGroup.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace wakeward {

namespace {

enum FormRow { modeRow, durationRow, clockRow, appRow };

} // namespace

AppPicker::AppPicker(Model& model, QWidget* parent) : QComboBox(parent), m_model(model) {
    setAccessibleName(QStringLiteral("Running application"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::activated, this,
            [this](int index) { m_model.setAppID(itemData(index).toString().toStdString()); });
    // Listing the applications scans every process, so it waits until the picker is shown.
    addItem(QStringLiteral("Choose an app"), QString());
    select();
}

void AppPicker::reload() {
    const QSignalBlocker blocker(this);
    clear();
    addItem(QStringLiteral("Choose an app"), QString());
    for (const RunningApp& app : m_model.runningApps()) {
        const QString name =
            app.name.empty() ? QStringLiteral("App") : QString::fromStdString(app.name);
        addItem(name, QString::fromStdString(app.identifier));
        setItemData(count() - 1, app.pid, Qt::UserRole + 1);
    }
    select();
}

void AppPicker::select() {
    const QSignalBlocker blocker(this);
    const QString chosen = QString::fromStdString(m_model.appID());
    int index = findData(chosen);
    if (index < 0) {
        // The chosen application has quit since: keep showing the choice rather than
        // pretending nothing was chosen; starting then says it is not running.
        addItem(chosen, chosen);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void AppPicker::showPopup() {
    reload();
    QComboBox::showPopup();
}

void AppPicker::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    reload();
}

SessionsPage::SessionsPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model), m_dashboard(dashboard) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    m_status = new StatusGroup(
        model, {dashboard.time(), [&dashboard] { dashboard.showInspector(); }}, this);
    layout->addWidget(m_status);

    auto* group = new TitledGroup(QStringLiteral("Manual session"), this);
    m_form = new QFormLayout;
    m_form->setLabelAlignment(Qt::AlignLeft);
    m_form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    m_form->setHorizontalSpacing(14);
    m_form->setVerticalSpacing(10);

    m_mode = enumPicker<SessionMode>(QStringLiteral("End session"), group);
    connect(m_mode, &QComboBox::activated, this, [this](int index) {
        m_model.setMode(static_cast<SessionMode>(m_mode->itemData(index).toInt()));
    });
    m_form->addRow(QStringLiteral("End session"), m_mode);

    auto* duration = new QWidget(group);
    auto* durationRow = new QHBoxLayout(duration);
    durationRow->setContentsMargins(0, 0, 0, 0);
    m_minutes = new NumberField(QStringLiteral("Minutes"), duration);
    connect(m_minutes, &NumberField::valueEdited, this,
            [this](double value) { m_model.setMinutes(value); });
    durationRow->addWidget(m_minutes);
    durationRow->addWidget(captionLabel(QStringLiteral("minutes • 1 to 1,440"), duration));
    m_form->addRow(QStringLiteral("Duration"), duration);

    auto* until = new QWidget(group);
    auto* untilColumn = new QVBoxLayout(until);
    untilColumn->setContentsMargins(0, 0, 0, 0);
    m_clock = new QTimeEdit(until);
    m_clock->setAccessibleName(QStringLiteral("Until local time"));
    m_clock->setTimeSpec(Qt::UTC);
    m_clock->setDisplayFormat(shortTimeEditFormat());
    connect(m_clock, &QTimeEdit::timeChanged, this, [this](QTime time) {
        const Calendar calendar = m_dashboard.time().calendar();
        QDateTime fields = localFields(m_model.clock(), calendar);
        fields.setTime(QTime(time.hour(), time.minute()));
        m_model.setClock(fromLocalFields(fields, calendar));
    });
    untilColumn->addWidget(m_clock, 0, Qt::AlignLeft);
    QLabel* untilCaption = captionLabel(
        QStringLiteral(
            "The next occurrence of this local time is used, including tomorrow if it has passed."),
        until);
    // The field keeps its natural width in the form, so a wrapped caption would be squeezed.
    untilCaption->setWordWrap(false);
    untilColumn->addWidget(untilCaption);
    m_form->addRow(QStringLiteral("Until local time"), until);

    m_app = new AppPicker(model, group);
    m_form->addRow(QStringLiteral("Running application"), m_app);
    group->body()->addLayout(m_form);

    m_display = new QCheckBox(QStringLiteral("Also keep the display awake"), group);
    connect(m_display, &QCheckBox::toggled, this, [this](bool on) { m_model.setKeepDisplay(on); });
    group->body()->addWidget(m_display);
    m_mains = new QCheckBox(QStringLiteral("Only while connected to mains power"), group);
    connect(m_mains, &QCheckBox::toggled, this, [this](bool on) { m_model.setAcOnly(on); });
    group->body()->addWidget(m_mains);
    group->body()->addWidget(
        captionLabel(QStringLiteral("Changes apply when you start or replace the session. All "
                                    "sessions stop below your battery safety threshold."),
                     group));

    auto* buttons = new QHBoxLayout;
    m_start = new QPushButton(group);
    emphasise(m_start);
    connect(m_start, &QPushButton::clicked, this, [this] { m_model.start(); });
    m_stop = new QPushButton(QStringLiteral("Stop all"), group);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_model.endAll("Stopped by you"); });
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    group->body()->addLayout(buttons);
    layout->addWidget(group);
    layout->addStretch(1);

    for (auto signal : {&Model::modeChanged, &Model::minutesChanged, &Model::clockChanged,
                        &Model::keepDisplayChanged, &Model::acOnlyChanged})
        connect(&model, signal, this, &SessionsPage::refreshForm);
    connect(&model, &Model::appIDChanged, m_app, &AppPicker::select);
    connect(&model, &Model::manualChanged, this, &SessionsPage::refreshButtons);
    connect(&model, &Model::activeChanged, this, &SessionsPage::refreshButtons);
    refreshForm();
    refreshButtons();
}

bool SessionsPage::showsRow(const QString& label) const {
    for (int row = 0; row < m_form->rowCount(); ++row) {
        auto* item = m_form->itemAt(row, QFormLayout::LabelRole);
        auto* text = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
        if (text && text->text() == label)
            return m_form->isRowVisible(row);
    }
    return false;
}

void SessionsPage::refreshForm() {
    const SessionMode mode = m_model.mode();
    selectCase(m_mode, mode);
    m_form->setRowVisible(durationRow, mode == SessionMode::duration);
    m_form->setRowVisible(clockRow, mode == SessionMode::until);
    m_form->setRowVisible(appRow, mode == SessionMode::application);
    m_minutes->setValue(m_model.minutes());
    {
        const QSignalBlocker blocker(m_clock);
        m_clock->setTime(localFields(m_model.clock(), m_dashboard.time().calendar()).time());
    }
    const QSignalBlocker displayBlocker(m_display);
    m_display->setChecked(m_model.keepDisplay());
    const QSignalBlocker mainsBlocker(m_mains);
    m_mains->setChecked(m_model.acOnly());
}

void SessionsPage::refreshButtons() {
    m_start->setText(m_model.manual() ? QStringLiteral("Replace session")
                                      : QStringLiteral("Start session"));
    m_stop->setEnabled(m_model.active());
}

} // namespace wakeward
