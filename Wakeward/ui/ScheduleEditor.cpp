#include "ui/ScheduleEditor.h"

#include "ui/EditorFrame.h"
#include "ui/LocalTime.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <wakeward/Text.h>

namespace wakeward {

namespace {

// The pickers show no seconds, so the times they choose are whole minutes: seconds kept from
// the moment a schedule was made would show in its summary and let two times that look equal
// differ.
Instant wholeMinute(Instant instant) {
    const double seconds = instant.unix();
    return std::isfinite(seconds) ? Instant::fromUnix(std::floor(seconds / 60) * 60) : instant;
}

} // namespace

ScheduleEditor::ScheduleEditor(Schedule schedule, TimeSource time, QWidget* parent)
    : QDialog(parent), m_schedule(std::move(schedule)), m_time(std::move(time)) {
    m_schedule.start = wholeMinute(m_schedule.start);
    m_schedule.end = wholeMinute(m_schedule.end);
    EditorFrame frame(this, QStringLiteral("Schedule"));
    auto* form = EditorFrame::form();
    m_name = EditorFrame::addTextField(this, form, QStringLiteral("Name"), m_schedule.name,
                                       [this] { refresh(); });
    m_name->setMinimumWidth(280);
    frame.layout->addLayout(form);

    m_recurring = new QCheckBox(QStringLiteral("Recurring each week"), this);
    m_recurring->setChecked(m_schedule.recurring);
    connect(m_recurring, &QCheckBox::toggled, this, [this](bool on) {
        m_schedule.recurring = on;
        refresh();
    });
    frame.layout->addWidget(m_recurring);

    auto* times = EditorFrame::form();
    times->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto makePicker = [this](const QString& name, Instant& field) {
        auto* picker = new QDateTimeEdit(this);
        picker->setAccessibleName(name);
        // The picker holds the calendar's wall-clock fields; the zone is applied on the way back.
        picker->setTimeSpec(Qt::UTC);
        picker->setDateTime(localFields(field, m_time.calendar()));
        connect(picker, &QDateTimeEdit::dateTimeChanged, this,
                [this, &field](const QDateTime& fields) {
                    field = wholeMinute(fromLocalFields(fields, m_time.calendar()));
                    refresh();
                });
        return picker;
    };
    m_start = makePicker(QStringLiteral("Start"), m_schedule.start);
    m_end = makePicker(QStringLiteral("End"), m_schedule.end);
    times->addRow(QStringLiteral("Start"), m_start);
    times->addRow(QStringLiteral("End"), m_end);
    frame.layout->addLayout(times);

    m_weekdayRow = new QWidget(this);
    auto* days = new QHBoxLayout(m_weekdayRow);
    days->setContentsMargins(0, 0, 0, 0);
    days->setSpacing(4);
    for (int number = 1; number <= 7; ++number) {
        auto* button = new QPushButton(weekdayName(number), m_weekdayRow);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setMinimumWidth(44);
        button->setAccessibleName(
            QLocale::system().dayName(number == 1 ? 7 : number - 1, QLocale::LongFormat));
        connect(button, &QPushButton::toggled, this,
                [this, number](bool on) { setWeekday(number, on); });
        m_weekdays[static_cast<std::size_t>(number - 1)] = button;
        days->addWidget(button);
    }
    days->addStretch(1);
    frame.layout->addWidget(m_weekdayRow);

    frame.addSwitch(this, QStringLiteral("Mains power only"), m_schedule.acOnly);
    frame.addSwitch(this, QStringLiteral("Also keep display awake"), m_schedule.display);
    frame.addSwitch(this, QStringLiteral("Enabled"), m_schedule.enabled);
    frame.layout->addWidget(captionLabel(
        QStringLiteral("An overnight window belongs to its starting weekday. Recurring "
                       "windows use local clock time and follow timezone or "
                       "daylight-saving changes."),
        this));

    frame.finish(this, QStringLiteral("Save"));
    m_save = frame.save;
    m_cancel = frame.cancel;
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!acceptable(m_schedule, m_time.calendar()))
            return;
        emit saved(m_schedule);
        accept();
    });
    refresh();
}

bool ScheduleEditor::acceptable(const Schedule& schedule, const Calendar& calendar) {
    // A name of blanks shows as nothing in the list, as the profile and rule editors know.
    if (Text::trimBlanks(schedule.name).empty() || Text::unsafeNameProblem(schedule.name))
        return false;
    if (!schedule.recurring)
        return schedule.end > schedule.start;
    const auto start = calendar.minuteOfDay(schedule.start);
    const auto end = calendar.minuteOfDay(schedule.end);
    return !schedule.weekdays.empty() && start && end && *start != *end;
}

QString ScheduleEditor::weekdayName(int number) {
    // The calendar counts from Sunday; the locale from Monday.
    return QLocale::system().dayName(number == 1 ? 7 : number - 1, QLocale::ShortFormat);
}

void ScheduleEditor::setWeekday(int number, bool on) {
    auto& days = m_schedule.weekdays;
    if (on) {
        if (std::find(days.begin(), days.end(), number) == days.end())
            days.push_back(number);
    } else {
        std::erase(days, number);
    }
    refresh();
}

void ScheduleEditor::refresh() {
    const bool recurring = m_schedule.recurring;
    const QString format = recurring ? shortTimeEditFormat() : shortDateTimeEditFormat();
    for (QDateTimeEdit* picker : {m_start, m_end}) {
        if (picker->displayFormat() == format)
            continue;
        const QSignalBlocker blocker(picker);
        picker->setDisplayFormat(format);
        // A time-only format pins the date range to the shown day; a date shown again needs
        // its full range back.
        if (!recurring) {
            picker->clearMinimumDateTime();
            picker->clearMaximumDateTime();
        }
    }
    m_weekdayRow->setVisible(recurring);
    for (int number = 1; number <= 7; ++number) {
        QPushButton* button = weekdayButton(number);
        const QSignalBlocker blocker(button);
        const auto& days = m_schedule.weekdays;
        const bool on = std::find(days.begin(), days.end(), number) != days.end();
        button->setChecked(on);
        setAccented(button, on);
    }
    m_save->setEnabled(acceptable(m_schedule, m_time.calendar()));
}

} // namespace wakeward
