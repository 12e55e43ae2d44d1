#include "UiRig.h"
#include "platform/XdgAutostart.h"
#include "ui/AboutPage.h"
#include "ui/DriveAwakePage.h"
#include "ui/FenmarchGuidanceSettings.h"
#include "ui/HistoryPage.h"
#include "ui/InspectorPage.h"
#include "ui/LinkLabel.h"
#include "ui/LocalTime.h"
#include "ui/LoginItemControl.h"
#include "ui/RulesPage.h"
#include "ui/SchedulesPage.h"
#include "ui/SettingsPage.h"
#include "ui/StatusGroup.h"
#include "ui/Widgets.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionButton>
#include <QtTest>
#include <deque>
#include <fstream>

using namespace wakeward;
using test::DashboardRig;
using test::ModelRig;
using test::timeOf;

namespace {

// The colour seen where `top`, perhaps translucent, is drawn on `bottom`.
QColor over(const QColor& top, const QColor& bottom) {
    const double alpha = top.alphaF();
    const auto blend = [alpha](double a, double b) { return a * alpha + b * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(blend(top.redF(), bottom.redF())),
                            static_cast<float>(blend(top.greenF(), bottom.greenF())),
                            static_cast<float>(blend(top.blueF(), bottom.blueF())));
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private slots:
    void initTestCase() { test::usePrivateSettings(m_settings); }
    void init() { QSettings().clear(); }

    // Reports that cannot be listed, an empty listing and a listing read differently; the own
    // identifiers come from the holder.
    void inspectorCases() {
        ModelRig rig;
        auto others = std::make_shared<OptionalTexts>();
        rig.otherAssertions = [others] { return *others; };
        auto model = rig.make();
        InspectorPage page(*model, timeOf(rig));
        // The note, then the reports listed.
        const auto shown = [&page] {
            return QStringList(test::look(page.reportsNote())) + page.reports();
        };
        model->refreshOtherAssertions();
        QCOMPARE(shown(), QStringList("System-wide assertion reports are unavailable in this "
                                      "environment. Your own session is still shown accurately."));

        *others = std::vector<std::string>{};
        page.refreshButton()->click();
        QCOMPARE(shown(), QStringList("No other active assertions were returned. Coverage may be "
                                      "incomplete."));

        *others = std::vector<std::string>{"backupd • idle\nNightly copy", "Process 9 • sleep\n"
                                                                           "Reason not reported"};
        page.refreshButton()->click();
        QCOMPARE(shown(), QStringList({"hidden", "backupd • idle\nNightly copy",
                                       "Process 9 • sleep\nReason not reported"}));

        QVERIFY(page.identifiers()->isHidden());
        page.setHeldAssertions([] { return HeldAssertions{101, 0, "logind idle lock", ""}; });
        QCOMPARE(test::looks({page.identifiers(), page.holders()}),
                 QStringLiteral("System assertion ID: 101\nDisplay assertion ID: 0 | System "
                                "assertion held through logind idle lock"));
        QCOMPARE(page.statusGroup()->title(), QStringLiteral("Owned by Wakeward"));
    }

    // Each rule shows its name, priority, action and conditions joined as it matches them. The
    // switch, delete and test act on the rule with that id and take effect at once; the pause
    // button flips automation; the empty sentence shows only without rules.
    void rulesPageActions() {
        DashboardRig ui;
        Model& model = *ui.model;
        auto* page = qobject_cast<RulesPage*>(ui.dashboard->pageWidget("Rules"));
        QVERIFY(page);
        QVERIFY(!page->emptyNote()->isHidden());
        Rule first;
        first.name = "First";
        first.mode = MatchMode::any;
        first.conditions = {Condition(SignalKind::cpu, "80"), Condition(SignalKind::display, "")};
        Rule second = first;
        second.id = Uuid::generate();
        second.name = "Second";
        second.mode = MatchMode::all;
        second.priority = 42;
        second.action = RuleAction::allow;
        model.setRules({first, second});
        QVERIFY(page->emptyNote()->isHidden());
        QCOMPARE(page->groups().size(), std::size_t(2));
        QCOMPARE(test::labelTexts(page->groups()[0]),
                 QStringList({"First", "Priority 10 • Keep awake",
                              "CPU above percent: 80 OR External display connected"}));
        QCOMPARE(test::labelTexts(page->groups()[1]),
                 QStringList({"Second", "Priority 42 • Allow idle sleep",
                              "CPU above percent: 80 AND External display connected"}));
        Rule none;
        none.conditions.clear();
        QCOMPARE(RulesPage::conditionsSummary(none), QString());

        page->enabledSwitch(1)->click();
        QVERIFY(!model.rules()[0].enabled);
        QVERIFY(model.rules()[1].enabled);
        // Saved as well: a restarted controller reads it back.
        QVERIFY(ui.rig.store().load<Rules>("rules").value()->at(1).enabled);

        page->testButton(0)->click();
        QVERIFY(page->traceLabel()->text() !=
                QStringLiteral("Test a rule to see its condition trace."));
        QCOMPARE(page->traceLabel()->text(), QString::fromStdString(model.ruleTrace()));

        page->deleteButton(0)->click();
        QCOMPARE(model.rules().size(), std::size_t(1));
        QCOMPARE(model.rules()[0].name, std::string("Second"));

        QCOMPARE(page->pauseButton()->text(), QStringLiteral("Pause automation"));
        page->pauseButton()->click();
        QVERIFY(model.automationPaused());
        QCOMPARE(page->pauseButton()->text(), QStringLiteral("Resume automation"));
        page->pauseButton()->click();
        QVERIFY(!model.automationPaused());
    }

    // Weekly windows show times only, one-off windows dates and times; switch and delete act
    // by id.
    void schedulesPage() {
        DashboardRig ui;
        Model& model = *ui.model;
        const Calendar calendar = ui.calendar();
        const QDate day(2027, 1, 4);
        Schedule weekly(ui.rig.time->now);
        weekly.name = "Weekly";
        weekly.start = fromLocalFields(QDateTime(day, QTime(9, 0), QTimeZone::utc()), calendar);
        weekly.end = fromLocalFields(QDateTime(day, QTime(17, 30), QTimeZone::utc()), calendar);
        Schedule once = weekly;
        once.id = Uuid::generate();
        once.name = "Once";
        once.recurring = false;
        const auto local = [](const auto& value) {
            return QLocale::system().toString(value, QLocale::ShortFormat);
        };
        QCOMPARE(SchedulesPage::summary(weekly, calendar),
                 "Recurring • " + local(QTime(9, 0)) + " to " + local(QTime(17, 30)));
        QCOMPARE(SchedulesPage::summary(once, calendar), local(QDateTime(day, QTime(9, 0))) +
                                                             " to " +
                                                             local(QDateTime(day, QTime(17, 30))));

        model.setSchedules({weekly, once});
        auto* page = qobject_cast<SchedulesPage*>(ui.dashboard->pageWidget("Schedules"));
        QCOMPARE(page->groups().size(), std::size_t(2));
        page->enabledSwitch(0)->click();
        QVERIFY(model.schedules()[0].enabled);
        QVERIFY(!model.schedules()[1].enabled);
        page->deleteButton(0)->click();
        QCOMPARE(model.schedules().size(), std::size_t(1));
        QCOMPARE(model.schedules()[0].name, std::string("Once"));
    }

    // Capitals find lower-case words; a filter that finds nothing shows no groups and not the
    // empty-history sentence; durations of 0 and 90.9 seconds; clearing asks first.
    void historyFilterAndClearing() {
        ModelRig rig;
        const Instant now = rig.time->now;
        {
            Store store = rig.store();
            QVERIFY(store.append(
                HistoryEvent("Started", "Manual session", "Battery 80%", 0, now - 100)));
            QVERIFY(store.append(
                HistoryEvent("Ended", "Stopped by you", "Battery 79%", 90.9, now - 10)));
        }
        auto model = rig.make();
        HistoryPage page(*model, timeOf(rig));
        QCOMPARE(page.groups().size(), std::size_t(2));
        QCOMPARE(
            test::looks({page.emptyNote(), page.retentionCaption()}),
            QStringLiteral("hidden | Local events only • last 30 days • at most 2,000 records"));
        QCOMPARE(test::labelTexts(page.groups()[0]),
                 QStringList({"Ended • " + shortDateTime(now - 10, timeOf(rig).calendar()),
                              "Stopped by you", "Battery 79% • 90 seconds"}));
        QCOMPARE(test::labelTexts(page.groups()[1]).last(), QStringLiteral("Battery 80%"));

        page.searchField()->setText(QStringLiteral("STOPPED"));
        QCOMPARE(page.groups().size(), std::size_t(1));
        QCOMPARE(page.listed()[0].reason, std::string("Stopped by you"));
        // The type is searched too, after the reason and a space.
        page.searchField()->setText(QStringLiteral("session STARTED"));
        QCOMPARE(page.groups().size(), std::size_t(1));
        page.searchField()->setText(QStringLiteral("nothing like this"));
        QVERIFY(page.groups().empty());
        QVERIFY(page.emptyNote()->isHidden());

        page.clearButton()->click();
        QMessageBox* confirm = page.clearConfirmation();
        QVERIFY(confirm);
        QCOMPARE(confirm->text(), QStringLiteral("Clear local history? This cannot be undone."));
        test::button(confirm, QStringLiteral("Cancel"))->click();
        QCOMPARE(model->history().size(), std::size_t(2));
        QTRY_VERIFY(!page.clearConfirmation());

        page.clearButton()->click();
        test::button(page.clearConfirmation(), QStringLiteral("Clear history"))->click();
        QVERIFY(model->history().empty());
        QVERIFY(!page.emptyNote()->isHidden());
    }

    // A long history is drawn in batches, and all of it arrives.
    void longHistoryArrivesInBatches() {
        ModelRig rig;
        {
            Store store = rig.store();
            for (int i = 0; i < 300; ++i)
                QVERIFY(store.append(HistoryEvent("Started", "Rule: " + std::to_string(i), "AC", 0,
                                                  rig.time->now - i)));
        }
        auto model = rig.make();
        HistoryPage page(*model, timeOf(rig));
        QVERIFY(page.groups().size() < 300);
        QTRY_COMPARE(page.groups().size(), std::size_t(300));
        // A new filter stops the old list's batches.
        page.searchField()->setText(QStringLiteral("Rule: 29"));
        QTRY_COMPARE(page.groups().size(), std::size_t(11));
    }

    // Stored values the controls cannot show are shown at the nearest choice and left as
    // they are until the user moves the control.
    void settingsKeepStoredValuesUntilMoved() {
        for (const auto& [stored, shown] : {std::pair(3.0, 5), std::pair(80.0, 50)}) {
            ModelRig rig;
            QVERIFY(rig.store().save(stored, "threshold"));
            QVERIFY(rig.store().save(std::int64_t(45), "retention"));
            auto model = rig.make();
            SettingsPage page(*model);
            QCOMPARE(page.thresholdSlider()->value(), shown);
            QCOMPARE(model->threshold(), stored);
            QCOMPARE(page.retentionPicker()->currentText(), QStringLiteral("30 days"));
            QCOMPARE(model->retention(), 45);

            page.thresholdSlider()->triggerAction(QAbstractSlider::SliderSingleStepSub);
            QCOMPARE(model->threshold(), double(shown == 5 ? 5 : 49));
            QCOMPARE(page.thresholdLabel()->text(), QStringLiteral("%1%").arg(shown == 5 ? 5 : 49));
            test::choose(page.retentionPicker(), 2);
            QCOMPARE(model->retention(), 90);
        }
        QCOMPARE(SettingsPage::nearest(60, {7, 30, 90}), 30);
    }

    // The notifications switch shows what is in force until the service answers.
    void notificationsSwitchWaitsForTheService() {
        ModelRig rig;
        auto model = rig.make();
        SettingsPage page(*model);
        page.notificationsSwitch()->click();
        QVERIFY(!page.notificationsSwitch()->isChecked());
        QVERIFY(rig.notes->pendingCheck);
        rig.notes->pendingCheck(std::nullopt);
        QVERIFY(page.notificationsSwitch()->isChecked());
        page.notificationsSwitch()->click();
        QVERIFY(!model->notifications());
        QVERIFY(!page.notificationsSwitch()->isChecked());
    }

    // Launch at login appears once a login item is given. Enabling writes a visible autostart
    // entry, even over one the user hid, and disabling removes it; a failure leaves the state as
    // it was and says why.
    void launchAtLogin_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<bool>("blocked"); // a file stands where the autostart folder belongs
        QTest::addColumn<QString>("message");
        const QByteArray hidden =
            "[Desktop Entry]\nType=Application\nExec=wakeward\nHidden = True\n";
        QTest::newRow("no entry") << QByteArray() << false << "Login setting updated.";
        QTest::newRow("hidden entry") << hidden << false << "Login setting updated.";
        QTest::newRow("folder blocked") << QByteArray() << true << "could not be created";
    }
    void launchAtLogin() {
        QFETCH(QByteArray, existing);
        QFETCH(bool, blocked);
        QFETCH(QString, message);
        ModelRig rig;
        auto model = rig.make();
        const QString config = rig.dir.filePath(QStringLiteral("config"));
        XdgAutostart autostart(config, QStringLiteral("wakeward --background"));
        if (blocked)
            QVERIFY(QDir().mkpath(config) &&
                    QFile(config + "/autostart").open(QIODevice::WriteOnly));
        if (!existing.isEmpty()) {
            QVERIFY(QDir().mkpath(config + "/autostart"));
            QFile entry(autostart.entryPath());
            QVERIFY(entry.open(QIODevice::WriteOnly) && entry.write(existing) == existing.size());
        }
        SettingsPage page(*model);
        QVERIFY(!page.loginItemControl());
        page.setLoginItem(autostart);
        LoginItemControl* control = page.loginItemControl();
        QVERIFY(control);
        const auto shown = [control] {
            return test::looks({control->statusLabel(), control->button()});
        };
        const QString off =
            QStringLiteral("Launch at login: Off or awaiting approval | Enable launch at login");
        QCOMPARE(shown(), off);
        control->button()->click();
        QVERIFY(QString::fromStdString(model->message().value_or("")).contains(message));
        QCOMPARE(autostart.enabled(), !blocked);
        QCOMPARE(shown(),
                 blocked ? off
                         : QStringLiteral("Launch at login: Enabled | Disable launch at login"));
        if (blocked)
            return;
        QFile entry(autostart.entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("Exec=wakeward --background\n"));
        control->button()->click();
        QVERIFY(!QFile::exists(autostart.entryPath()));
        QCOMPARE(shown(), off);
    }

    // The appearance chosen in Settings is stored and reaches every window, alerts and drop-down
    // lists too; in either one, text reads at 4.5:1 and an unchecked box shows its outline at 3:1.
    void appearanceIsReadableEverywhere_data() {
        QTest::addColumn<QString>("appearance");
        QTest::newRow("light") << QStringLiteral("Light");
        QTest::newRow("dark") << QStringLiteral("Dark");
    }
    void appearanceIsReadableEverywhere() {
        QFETCH(QString, appearance);
        ModelRig rig;
        auto model = rig.make();
        SettingsPage settings(*model);
        test::button(&settings, appearance)->click();
        QCOMPARE(SettingsPage::appearance(), appearance.toLower());
        const QPalette palette = QApplication::palette();
        const QColor window = palette.color(QPalette::Window);
        QCOMPARE(window.lightness() < 128, appearance == QLatin1String("Dark"));
        QMessageBox alert;
        QComboBox list;
        for (QWidget* shown : {static_cast<QWidget*>(&alert), list.view()->window()})
            QCOMPARE(shown->palette().color(QPalette::Window), window);

        Card card;
        card.resize(200, 60);
        const QColor fill = card.grab().toImage().pixelColor(100, 30);
        QLabel* caption = captionLabel(QStringLiteral("Snapshot only."), &card);
        const QColor secondary = caption->palette().color(caption->foregroundRole());
        QVERIFY2(contrastRatio(over(secondary, fill), fill) >= 4.5, "caption on a card");
        QVERIFY2(contrastRatio(over(secondary, window), window) >= 4.5, "caption on the window");
        QVERIFY2(contrastRatio(palette.color(QPalette::HighlightedText),
                               palette.color(QPalette::Highlight)) >= 4.5,
                 "selected page");

        QPushButton save(QStringLiteral("Save"));
        emphasise(&save);
        save.resize(120, 34);
        // The face beside, above and below the text.
        const QImage button = save.grab().toImage();
        for (const QPoint& at : {QPoint(8, 17), QPoint(111, 17), QPoint(60, 6), QPoint(60, 27)}) {
            const QColor face = button.pixelColor(at);
            QVERIFY2(contrastRatio(save.palette().color(QPalette::ButtonText), face) >= 4.5,
                     qPrintable(face.name()));
        }

        QCheckBox box(QStringLiteral("Enabled"));
        box.resize(box.sizeHint());
        QStyleOptionButton option;
        option.initFrom(&box);
        const QRect indicator =
            box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
        const QImage drawn = box.grab().toImage();
        double outline = 1;
        for (int y = indicator.top(); y <= indicator.bottom(); ++y)
            for (int x = indicator.left(); x <= indicator.right(); ++x)
                outline = std::max(outline, contrastRatio(drawn.pixelColor(x, y), window));
        QVERIFY2(outline >= 3.0, qPrintable(QString::number(outline)));
        test::button(&settings, QStringLiteral("System"))->click();
        QCOMPARE(SettingsPage::appearance(), QStringLiteral("system"));
    }

    // The reading switch cannot be turned on before a file is chosen.
    void driveSwitchNeedsAFile() {
        ModelRig rig;
        auto model = rig.make();
        DriveAwakePage page(*model);
        QCOMPARE(page.pathLabel()->text(), QStringLiteral("No file selected"));
        QVERIFY(!page.enabledSwitch()->isEnabled());

        const std::filesystem::path file = rig.dir.filePath("probe.bin").toStdString();
        std::ofstream(file) << "data";
        model->setFileDialogs(std::make_unique<test::QueuedDialogs>(
            std::make_shared<std::deque<std::filesystem::path>>(1, file)));
        page.chooseButton()->click();
        QCOMPARE(page.pathLabel()->text(), QString::fromStdString(file.string()));
        QVERIFY(page.enabledSwitch()->isEnabled());
        page.enabledSwitch()->click();
        QVERIFY(model->driveEnabled());
        QVERIFY(page.statusLabel()->text().startsWith(QStringLiteral("Ready")));
    }

    void aboutLinks() {
        AboutPage page;
        QStringList texts;
        for (const LinkLabel* link : page.links())
            texts << link->linkText();
        QCOMPARE(texts, QStringList({"Explore software by fenmarch.", "Wakeward website"}));
    }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
