#include "UiRig.h"
#include "ui/LocalTime.h"
#include "ui/ProfileEditor.h"
#include "ui/RuleEditor.h"
#include "ui/RulesPage.h"
#include "ui/ScheduleEditor.h"
#include "ui/SchedulesPage.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimeZone>
#include <QToolButton>
#include <QtTest>
#include <cmath>

using namespace wakeward;
using test::choose;
using test::DashboardRig;

namespace {

// Replaces a field's text the way typing does.
void retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void chooseKind(const RuleEditor::ConditionRow& row, SignalKind kind) {
    choose(row.kind, row.kind->findData(static_cast<int>(kind)));
}

// A schedule whose start and end show these local clock times in `calendar`.
Schedule recurringAt(const Calendar& calendar, Instant now, int startHour, int endHour) {
    Schedule schedule(now);
    schedule.start = *calendar.nextOccurrence(startHour, 0, now);
    schedule.end = *calendar.nextOccurrence(endHour, 0, now);
    return schedule;
}

// Rows of a shown sheet that are squeezed below the height they need or overlap another.
QStringList crowding(QDialog& sheet) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QStringList found;
    QWidgetList rows;
    for (QWidget* child : sheet.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && !child->isWindow())
            rows << child;
    const auto describe = [](const QWidget* row) {
        return QStringLiteral("%1 \"%2\"")
            .arg(row->metaObject()->className(), row->accessibleName() + test::look(row));
    };
    for (QWidget* row : rows) {
        const int needed = row->hasHeightForWidth()
                               ? row->heightForWidth(row->width())
                               : std::max(row->minimumSizeHint().height(), row->minimumHeight());
        if (row->height() < needed)
            found << QStringLiteral("%1 is %2 px tall, needs %3")
                         .arg(describe(row))
                         .arg(row->height())
                         .arg(needed);
        for (QWidget* other : rows)
            if (row < other && row->geometry().intersects(other->geometry()))
                found << describe(row) + QStringLiteral(" overlaps ") + describe(other);
    }
    return found;
}

} // namespace

class EditorsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private slots:
    void initTestCase() { test::usePrivateSettings(m_settings); }

    // "Save" needs a name with more than spaces and 1 to 1440 minutes; names are not trimmed,
    // and text that is not a number keeps the last valid minutes.
    void profileEditorSaveEnabling() {
        Profile profile(std::string("Backup"), 60);
        ProfileEditor editor(profile);
        QSignalSpy saved(&editor, &ProfileEditor::saved);
        QVERIFY(editor.saveButton()->isEnabled());

        retype(editor.nameField(), " \t  ");
        QVERIFY(!editor.saveButton()->isEnabled());
        retype(editor.nameField(), " Lead");
        QVERIFY(editor.saveButton()->isEnabled());

        const std::pair<double, bool> cases[] = {{0.5, false},  {1, true},       {1440, true},
                                                 {1441, false}, {1440.5, false}, {90.5, true}};
        for (const auto& [minutes, enabled] : cases) {
            retype(editor.minutesField(), NumberField::format(minutes));
            QCOMPARE(editor.saveButton()->isEnabled(), enabled);
        }
        retype(editor.minutesField(), "ninety");
        QCOMPARE(editor.profile().minutes, 90.5);
        QVERIFY(editor.saveButton()->isEnabled());
        emit editor.minutesField()->editingFinished();
        QCOMPARE(editor.minutesField()->text(), NumberField::format(90.5));

        editor.displaySwitch()->click();
        editor.favouriteSwitch()->click();
        // Return saves from any field of the shown sheet.
        editor.show();
        QTest::keyClick(editor.nameField(), Qt::Key_Return);
        QCOMPARE(saved.size(), 1);
        QVERIFY(!editor.isVisible());
        const auto result = saved.first().first().value<Profile>();
        QCOMPARE(result.name, std::string(" Lead"));
        QCOMPARE(result.minutes, 90.5);
        QVERIFY(result.display);
        QVERIFY(!result.favourite);
        QCOMPARE(result.id, profile.id);
    }

    // "Save rule" needs a grace of 0 to 300 seconds and at least one condition, each with its
    // value. Conditions are added with their defaults and removed by identifier.
    void ruleEditorConditionsAndSaving() {
        DashboardRig ui;
        Rule rule;
        rule.name = "Plugged in";
        rule.conditions = {Condition(SignalKind::ac, ""), Condition(SignalKind::usb, "Keyboard")};
        RuleEditor editor(rule, *ui.model);
        QVERIFY(editor.saveButton()->isEnabled());
        const std::pair<double, bool> cases[] = {
            {-1, false}, {0, true}, {300, true}, {301, false}, {300.5, false}};
        for (const auto& [grace, enabled] : cases) {
            retype(editor.graceField(), NumberField::format(grace));
            QCOMPARE(editor.rule().grace, grace);
            QCOMPARE(editor.saveButton()->isEnabled(), enabled);
        }
        retype(editor.graceField(), "0");
        editor.priorityStepper()->stepBy(5);
        QCOMPARE(editor.priorityStepper()->text(), QStringLiteral("Priority 15"));
        QCOMPARE(editor.rule().priority, 15);

        editor.addConditionButton()->click();
        QCOMPARE(editor.rule().conditions.size(), std::size_t(3));
        const Condition added = editor.rule().conditions.back();
        QCOMPARE(added.kind, SignalKind::runningApp);
        QVERIFY(added.value.empty());
        QVERIFY(added.id != rule.conditions[0].id && added.id != rule.conditions[1].id);
        QCOMPARE(editor.conditionRows().size(), std::size_t(3));
        chooseKind(editor.conditionRows().back(), SignalKind::cpu);
        QVERIFY(!editor.saveButton()->isEnabled());
        QTest::keyClicks(editor.conditionRows().back().value, "50");
        QVERIFY(editor.saveButton()->isEnabled());

        QToolButton* remove = editor.conditionRows()[0].remove;
        QCOMPARE(remove->accessibleName(), QStringLiteral("Remove condition"));
        QVERIFY(!remove->icon().isNull());
        remove->click();
        QCOMPARE(editor.rule().conditions.size(), std::size_t(2));
        QCOMPARE(editor.rule().conditions[0].id, rule.conditions[1].id);
        QCOMPARE(editor.rule().conditions[1].id, added.id);
        QCOMPARE(editor.conditionRows()[0].value->text(), QStringLiteral("Keyboard"));
        editor.conditionRows()[1].remove->click();
        editor.conditionRows()[0].remove->click();
        QVERIFY(editor.rule().conditions.empty());
        QVERIFY(!editor.saveButton()->isEnabled());
    }

    // No editor saves a name that would reach a terminal or the power service unsafely: control
    // characters or an oversized text; the name field says why.
    void unsafeNamesAreRefused() {
        DashboardRig ui;
        ProfileEditor profile(Profile(std::string("Backup"), 60));
        Rule rule;
        rule.name = "Plugged in";
        RuleEditor ruleEditor(rule, *ui.model);
        ScheduleEditor schedule(recurringAt(ui.calendar(), ui.rig.time->now, 22, 6), ui.time());
        const std::tuple<QLineEdit*, QPushButton*> editors[] = {
            {profile.nameField(), profile.saveButton()},
            {ruleEditor.nameField(), ruleEditor.saveButton()},
            {schedule.nameField(), schedule.saveButton()}};
        const std::pair<QString, bool> names[] = {{"R&D build", true}, {"Build \x1b[2J", false}};
        for (const auto& [name, safe] : names)
            for (const auto& [field, save] : editors) {
                // Typing cannot enter control characters; pasting can.
                field->selectAll();
                QGuiApplication::clipboard()->setText(name);
                field->paste();
                QCOMPARE(save->isEnabled(), safe);
                QCOMPARE(field->toolTip().isEmpty(), safe);
            }
    }

    // Each kind labels its value field; a kind without a value hides it and keeps the value.
    // "Allow idle sleep" disables the display switch but keeps its value.
    void ruleEditorKeepsHiddenChoices() {
        DashboardRig ui;
        Rule rule;
        rule.display = true;
        rule.conditions = {Condition(SignalKind::runningApp, "vlc")};
        RuleEditor editor(rule, *ui.model);
        const auto& row = editor.conditionRows().front();
        const auto shown = [&row] { return test::looks({row.label, row.value}); };
        QCOMPARE(shown(), QStringLiteral("Executable name | vlc"));
        chooseKind(row, SignalKind::ac);
        QCOMPARE(shown(), QStringLiteral("hidden | hidden"));
        QCOMPARE(editor.rule().conditions.front().value, std::string("vlc"));
        QCOMPARE(editor.rule().conditions.front().kind, SignalKind::ac);
        chooseKind(row, SignalKind::usb);
        QCOMPARE(shown(), QStringLiteral("Name contains | vlc"));
        chooseKind(row, SignalKind::battery);
        QCOMPARE(shown(), QStringLiteral("Threshold | vlc"));

        const QString display = QStringLiteral("[x] Also keep display awake");
        QCOMPARE(test::look(editor.displaySwitch()), display);
        choose(editor.actionPicker(), editor.actionPicker()->findText("Allow idle sleep"));
        QCOMPARE(editor.rule().action, RuleAction::allow);
        QCOMPARE(test::look(editor.displaySwitch()), display + " (off)");
        QVERIFY(editor.rule().display);
        choose(editor.actionPicker(), editor.actionPicker()->findText("Keep awake"));
        QCOMPARE(test::look(editor.displaySwitch()), display);
    }

    // "Available local signals" lists the running applications and the mounted volumes. "Test
    // without starting" tests the working copy against the live signals, shows the controller's
    // trace and saves nothing.
    void liveSignalsAndTest() {
        DashboardRig ui;
        ui.rig.source->apps = {{41, "vlc", "VLC media player"}, {42, "rsync", ""}};
        ui.rig.source->snapshot.volumes = {"B2C4-1111", "0A1F-2222"};
        ui.rig.source->snapshot.running = {"vlc"};
        ui.model->refreshSignals(false);
        Rule rule;
        rule.conditions = {Condition(SignalKind::runningApp, "rsync")};
        RuleEditor editor(rule, *ui.model);
        QVERIFY(editor.signalsText()->isHidden());
        editor.signalsToggle()->click();
        QCOMPARE(
            test::look(editor.signalsText()),
            QStringLiteral(
                "Apps: VLC media player: vlc\nApp: rsync\nVolume UUIDs: 0A1F-2222, B2C4-1111"));

        QCOMPARE(editor.traceLabel()->text(),
                 QStringLiteral("Test a rule to see its condition trace."));
        editor.testButton()->click();
        QVERIFY(editor.traceLabel()->text().startsWith(
            "Conditions do not match. No assertion created."));

        retype(editor.conditionRows().front().value, "vlc");
        editor.testButton()->click();
        QVERIFY(editor.traceLabel()->text().startsWith("Conditions match. No assertion created."));
        QCOMPARE(editor.traceLabel()->text(), QString::fromStdString(ui.model->ruleTrace()));
        QVERIFY(ui.model->rules().empty());
    }

    // Recurring windows need weekdays and different clock times (overnight is fine); one-off
    // windows need an end after the start.
    void scheduleEditorSaveEnabling() {
        DashboardRig ui;
        const Calendar calendar = ui.calendar();
        const Instant now = ui.rig.time->now;
        Schedule unnamed = recurringAt(calendar, now, 22, 6);
        for (const char* blank : {"", "   "}) {
            unnamed.name = blank;
            QVERIFY(!ScheduleEditor::acceptable(unnamed, calendar));
        }

        // The pickers show the calendar's local clock.
        ScheduleEditor editor(recurringAt(calendar, now, 9, 10), ui.time());
        QCOMPARE(editor.startPicker()->time(), QTime(9, 0));
        QVERIFY(editor.saveButton()->isEnabled());
        editor.endPicker()->setTime(QTime(9, 0));
        QVERIFY(!editor.saveButton()->isEnabled());
        editor.startPicker()->setTime(QTime(22, 0));
        editor.endPicker()->setTime(QTime(6, 0));
        QVERIFY(editor.saveButton()->isEnabled());
        QCOMPARE(calendar.minuteOfDay(editor.schedule().start), std::optional<int>(22 * 60));
        QCOMPARE(calendar.minuteOfDay(editor.schedule().end), std::optional<int>(6 * 60));
        QVERIFY(!editor.startPicker()->displayFormat().contains("yy"));

        editor.recurringSwitch()->click();
        QVERIFY(editor.startPicker()->displayFormat().contains("yyyy"));
        QVERIFY(editor.weekdayButton(1)->parentWidget()->isHidden());
        editor.endPicker()->setDateTime(editor.startPicker()->dateTime());
        QVERIFY(!editor.saveButton()->isEnabled());
        editor.endPicker()->setDateTime(editor.startPicker()->dateTime().addDays(1));
        QVERIFY(editor.saveButton()->isEnabled());
        QCOMPARE(editor.schedule().end - editor.schedule().start, 86400.0);

        // The pickers choose whole minutes: a schedule made at 18:19:47.4996 keeps no seconds,
        // and an end chosen equal to the start is refused.
        const Instant made = fromLocalFields(
            QDateTime(QDate(2027, 1, 4), QTime(18, 19, 47), QTimeZone::utc()), calendar);
        Schedule odd(made + 0.4996);
        odd.recurring = false;
        ScheduleEditor oneOff(odd, ui.time());
        for (Instant each : {oneOff.schedule().start, oneOff.schedule().end})
            QCOMPARE(std::fmod(each.unix(), 60.0), 0.0);
        QCOMPARE(oneOff.startPicker()->time(), QTime(18, 19));
        QVERIFY(oneOff.saveButton()->isEnabled());
        oneOff.endPicker()->setDateTime(oneOff.startPicker()->dateTime());
        QVERIFY(!oneOff.saveButton()->isEnabled());
        oneOff.endPicker()->setCurrentSection(QDateTimeEdit::MinuteSection);
        oneOff.endPicker()->stepBy(1);
        QVERIFY(oneOff.saveButton()->isEnabled());
        QCOMPARE(oneOff.schedule().end - oneOff.schedule().start, 60.0);
    }

    // A shown sheet fits itself again whenever rows appear, vanish or grow.
    void sheetsRefitTheirContent() {
        DashboardRig ui;
        Schedule once(ui.rig.time->now);
        once.recurring = false;
        ScheduleEditor schedule(once, ui.time());
        schedule.show();
        QVERIFY(QTest::qWaitForWindowExposed(&schedule));
        QCOMPARE(crowding(schedule), QStringList());
        for (int i = 0; i < 2; ++i) {
            schedule.recurringSwitch()->click();
            QCOMPARE(crowding(schedule), QStringList());
        }

        Rule rule;
        rule.conditions = {Condition(SignalKind::runningApp, "rsync"),
                           Condition(SignalKind::ac, "")};
        RuleEditor editor(rule, *ui.model);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(crowding(editor), QStringList());
        editor.testButton()->click();
        QVERIFY(editor.traceLabel()->text().count('\n') >= 2);
        QCOMPARE(crowding(editor), QStringList());
        editor.signalsToggle()->click();
        QCOMPARE(crowding(editor), QStringList());
    }

    // Weekday toggles are labelled Sunday first, add a day once, keep the order of switching
    // and remove every occurrence.
    void weekdayToggles() {
        DashboardRig ui;
        Schedule schedule(ui.rig.time->now);
        schedule.weekdays = {5, 5, 2};
        ScheduleEditor editor(schedule, ui.time());
        QCOMPARE(editor.weekdayButton(1)->text(),
                 QLocale::system().dayName(7, QLocale::ShortFormat));
        QCOMPARE(editor.weekdayButton(2)->text(),
                 QLocale::system().dayName(1, QLocale::ShortFormat));
        QVERIFY(editor.weekdayButton(5)->isChecked());
        QVERIFY(!editor.weekdayButton(3)->isChecked());

        editor.weekdayButton(3)->click();
        editor.setWeekday(3, true);
        QCOMPARE(editor.schedule().weekdays, (std::vector<std::int64_t>{5, 5, 2, 3}));
        editor.weekdayButton(5)->click();
        QCOMPARE(editor.schedule().weekdays, (std::vector<std::int64_t>{2, 3}));
        QVERIFY(!editor.weekdayButton(5)->isChecked());
        editor.weekdayButton(1)->click();
        QCOMPARE(editor.schedule().weekdays, (std::vector<std::int64_t>{2, 3, 1}));

        editor.weekdayButton(1)->click();
        editor.weekdayButton(2)->click();
        editor.weekdayButton(3)->click();
        QVERIFY(editor.schedule().weekdays.empty());
        QVERIFY(!editor.saveButton()->isEnabled());
    }

    // Rules and schedules saved from their pages are stored and take effect at once.
    void rulesAndSchedulesApplyOnSave() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        qobject_cast<RulesPage*>(dashboard.pageWidget("Rules"))->newButton()->click();
        RuleEditor* editor = dashboard.ruleEditor();
        QVERIFY(editor);
        retype(editor->nameField(), "On mains");
        retype(editor->graceField(), "0");
        editor->enabledSwitch()->click();
        editor->saveButton()->click();
        QVERIFY(ui.model->active());
        QCOMPARE(QString::fromStdString(ui.model->reason()), QStringLiteral("Rule: On mains"));
        QCOMPARE(**ui.rig.store().load<Rules>("rules"), ui.model->rules());

        ui.model->setRules({});
        ui.model->refresh();
        QVERIFY(!ui.model->active());
        qobject_cast<SchedulesPage*>(dashboard.pageWidget("Schedules"))->newButton()->click();
        ScheduleEditor* scheduleEditor = dashboard.scheduleEditor();
        QVERIFY(scheduleEditor);
        QCOMPARE(scheduleEditor->schedule().start, ui.rig.time->now);
        scheduleEditor->recurringSwitch()->click();
        scheduleEditor->findChildren<QCheckBox*>().back()->click(); // "Enabled"
        scheduleEditor->saveButton()->click();
        QVERIFY(ui.model->active());
    }
};

QTEST_MAIN(EditorsTest)
#include "EditorsTest.moc"
