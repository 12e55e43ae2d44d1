#include "UiRig.h"
#include "controller/FileDialogs.h"
#include "ui/FenmarchGuidanceSettings.h"
#include "ui/FenmarchHeader.h"
#include "ui/FenmarchNavigationLabel.h"
#include "ui/MainWindow.h"
#include "ui/OverviewPage.h"
#include "ui/ProfileEditor.h"
#include "ui/ProfilesPage.h"
#include "ui/SessionsPage.h"
#include "ui/SettingsPage.h"
#include "ui/StatusGroup.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <set>

using namespace wakeward;
using test::DashboardRig;
using test::QueuedDialogs;

namespace {

const QStringList sessionSteps = {"Choose a duration, end time or running app.",
                                  "Choose display and battery policies, then start.",
                                  "Stop from the app or menu bar at any time."};

ProfilesPage* profilesPage(Dashboard& dashboard) {
    return qobject_cast<ProfilesPage*>(dashboard.pageWidget("Profiles"));
}

SessionsPage* sessionsPage(Dashboard& dashboard) {
    return qobject_cast<SessionsPage*>(dashboard.pageWidget("Sessions"));
}

QStringList profileNames(const Model& model) {
    QStringList names;
    for (const Profile& profile : model.profiles())
        names << QString::fromStdString(profile.name);
    return names;
}

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private slots:
    void initTestCase() { test::usePrivateSettings(m_settings); }
    void init() { QSettings().clear(); }

    // The sidebar lists the ten pages in order; selecting one shows its title and its steps,
    // and a page without steps of its own shows the session steps. The header links to the
    // maker's site, tagged with the app and where the link sits.
    void pagesAndTheirSteps() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        auto* header = dashboard.findChild<FenmarchHeader*>();
        QVERIFY(header);
        QCOMPARE(header->linkUrl().query(),
                 QStringLiteral("utm_source=wakeward&utm_medium=app&utm_campaign=fenmarch_branding"
                                "&utm_content=sidebar"));
        QCOMPARE(Dashboard::pageTitles(),
                 QStringList({"Overview", "Sessions", "Sleep Inspector", "Profiles", "Rules",
                              "Schedules", "Drive Awake", "History", "Settings", "About"}));
        QCOMPARE(dashboard.page(), QStringLiteral("Overview"));
        QCOMPARE(dashboard.shownSteps(), sessionSteps);
        // Only the shown page is built; the others wait for a visit.
        QVERIFY(dashboard.findChild<QWidget*>(QStringLiteral("Overview")));
        QVERIFY(!dashboard.findChild<QWidget*>(QStringLiteral("History")));

        for (const QString& page : Dashboard::pageTitles()) {
            dashboard.navigationLabel(page)->click();
            QCOMPARE(dashboard.page(), page);
            QCOMPARE(dashboard.titleLabel()->text(), page);
            QVERIFY(dashboard.navigationLabel(page)->selected());
            QVERIFY(!dashboard.pageWidget(page)->isHidden());
            QCOMPARE(dashboard.shownSteps(), Dashboard::stepsFor(page));
            QVERIFY(!Dashboard::pageSymbol(page).isEmpty());
        }
        QCOMPARE(Dashboard::stepsFor("About"), sessionSteps);
        QVERIFY(Dashboard::stepsFor("Rules") != sessionSteps);
        QVERIFY(!dashboard.navigationLabel("Overview")->selected());
        QVERIFY(dashboard.pageWidget("Overview")->isHidden());

        // The Settings page's switch hides the steps at once, and that is remembered.
        QCheckBox* steps = qobject_cast<SettingsPage*>(dashboard.pageWidget("Settings"))
                               ->guidance()
                               ->stepsSwitch();
        steps->click();
        QVERIFY(dashboard.shownSteps().isEmpty());
        DashboardRig again;
        QVERIFY(again.dashboard->shownSteps().isEmpty());
        steps->click();
        QCOMPARE(dashboard.shownSteps(), sessionSteps);
    }

    // The toolbar's "Start session" from another page goes to Sessions and starts the form's
    // session; while active it reads "Stop all" and stops with automation paused.
    void toolbarStartsFromAnyPage() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        dashboard.setPage("History");
        QCOMPARE(dashboard.toolbarButton()->text(), QStringLiteral("Start session"));
        dashboard.toolbarButton()->click();
        QCOMPARE(dashboard.page(), QStringLiteral("Sessions"));
        QVERIFY(ui.model->manual());
        QCOMPARE(test::looks({dashboard.toolbarButton(), sessionsPage(dashboard)->startButton()}),
                 QStringLiteral("Stop all | Replace session"));

        dashboard.toolbarButton()->click();
        QVERIFY(!ui.model->active());
        QVERIFY(ui.model->automationPaused());
        QCOMPARE(ui.model->reason(), std::string("Stopped by you"));
        QCOMPARE(dashboard.toolbarButton()->text(), QStringLiteral("Start session"));
    }

    // Every route to the inspector reads the other processes' holds afresh.
    void inspectorRefreshesByEveryRoute() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        const int before = *ui.listings;
        dashboard.navigationLabel("Sleep Inspector")->click();
        QCOMPARE(*ui.listings, before + 1);

        // The notification from the tray, while the page is already shown.
        dashboard.showInspector();
        QCOMPARE(*ui.listings, before + 2);

        // "Inspect" in the status group of the Overview page.
        dashboard.setPage("Overview");
        test::button(dashboard.pageWidget("Overview"), "Inspect")->click();
        QCOMPARE(dashboard.page(), QStringLiteral("Sleep Inspector"));
        QCOMPARE(*ui.listings, before + 3);

        // Leaving the page reads nothing.
        dashboard.setPage("Rules");
        QCOMPARE(*ui.listings, before + 3);
    }

    // The controller's message shows as one alert "Wakeward" with "OK"; dismissing it either
    // way clears the message. A message that comes while the window is hidden waits.
    void messageAlertClearsTheMessage() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        ui.model->setMessage("Could not save local settings: disk full");
        QVERIFY(!dashboard.messageAlert());

        dashboard.show();
        QMessageBox* alert = dashboard.messageAlert();
        QVERIFY(alert);
        QCOMPARE(alert->windowTitle(), QStringLiteral("Wakeward"));
        QCOMPARE(alert->text(), QStringLiteral("Could not save local settings: disk full"));
        QCOMPARE(alert->buttons().size(), 1);
        QCOMPARE(alert->buttons().first()->text().remove('&'), QStringLiteral("OK"));
        alert->buttons().first()->click();
        QVERIFY(!ui.model->message());
        QVERIFY(!dashboard.messageAlert());

        // Escape dismisses it as well.
        ui.model->setMessage("Choose a duration between 1 and 1,440 minutes.");
        alert = dashboard.messageAlert();
        QVERIFY(alert);
        QTest::keyClick(alert, Qt::Key_Escape);
        QVERIFY(!ui.model->message());
    }

    // "Edit" saves in place, "New profile" appends with its defaults, "Cancel" changes
    // nothing; every save is written to the store.
    void profileSheetsReplaceOrAppend() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        ProfilesPage* page = profilesPage(dashboard);
        const QStringList before = profileNames(*ui.model);

        page->button(2, "Edit")->click();
        ProfileEditor* editor = dashboard.profileEditor();
        QVERIFY(editor);
        QCOMPARE(editor->profile(), ui.model->profiles()[2]);
        QTest::keyClicks(editor->nameField(), " nightly");
        QVERIFY(ui.model->profiles()[2].name == before[2].toStdString()); // a copy is edited
        editor->saveButton()->click();
        QStringList expected = before;
        expected[2] += " nightly";
        QCOMPARE(profileNames(*ui.model), expected);

        page->newButton()->click();
        editor = dashboard.profileEditor();
        QVERIFY(editor);
        const Profile fresh = editor->profile();
        QCOMPARE(fresh.minutes, 60.0);
        QVERIFY(!fresh.display && !fresh.acOnly && fresh.favourite);
        editor->saveButton()->click();
        expected << "Custom profile";
        QCOMPARE(profileNames(*ui.model), expected);

        page->button(0, "Edit")->click();
        QTest::keyClicks(dashboard.profileEditor()->nameField(), "zzz");
        QTest::keyClick(dashboard.profileEditor(), Qt::Key_Escape);
        QVERIFY(!dashboard.profileEditor());
        QCOMPARE(profileNames(*ui.model), expected);

        auto stored = ui.rig.store().load<Profiles>("profiles");
        QVERIFY(stored && stored->has_value());
        QCOMPARE(**stored, ui.model->profiles());
    }

    // Duplicating twice gives two " copy" entries with their own ids; a copy of a copy adds
    // " copy" again; favourite and delete work on the profile with that id. Export and import go
    // through the controller's file dialogs, and the page lists what was imported.
    void duplicateFavouriteDeleteAndImport() {
        DashboardRig ui;
        ProfilesPage* page = profilesPage(*ui.dashboard);
        const Profile original = ui.model->profiles()[0];
        const std::size_t count = ui.model->profiles().size();

        page->button(0, "Duplicate")->click();
        page->button(0, "Duplicate")->click();
        page->button(count, "Duplicate")->click();
        const Profiles& profiles = ui.model->profiles();
        const QString copy = QString::fromStdString(original.name) + " copy";
        QCOMPARE(profileNames(*ui.model).mid(qsizetype(count)),
                 QStringList({copy, copy, copy + " copy"}));
        QCOMPARE(profiles[count].minutes, original.minutes);
        std::set<Uuid> ids;
        for (const Profile& profile : profiles)
            ids.insert(profile.id);
        QCOMPARE(ids.size(), profiles.size());
        // Each group shows the profile's name and summary.
        QCOMPARE(test::labelTexts(page->groups().back()),
                 QStringList({copy + " copy", ProfilesPage::summary(profiles.back())}));

        page->button(1, "Unfavourite")->click();
        QVERIFY(!profiles[1].favourite);
        QVERIFY(page->button(1, "Favourite"));

        const Uuid gone = profiles[count].id;
        page->button(count, "Delete")->click();
        QCOMPARE(profiles.size(), count + 2);
        QVERIFY(std::none_of(profiles.begin(), profiles.end(),
                             [&](const Profile& p) { return p.id == gone; }));
        QCOMPARE(**ui.rig.store().load<Profiles>("profiles"), profiles);

        const auto file = std::filesystem::path(ui.rig.dir.path().toStdString()) / "profiles.json";
        ui.model->setFileDialogs(std::make_unique<QueuedDialogs>(
            std::make_shared<std::deque<std::filesystem::path>>(2, file)));
        page->exportButton()->click();
        page->importButton()->click();
        QCOMPARE(page->groups().size(), 2 * (count + 2));
    }

    // The summary line truncates the minutes and names both policies.
    void profileSummary() {
        Profile profile(std::string("Render"), 90.5);
        QCOMPARE(ProfilesPage::summary(profile),
                 QStringLiteral("90 minutes • Display may sleep • Battery safeguard"));
        profile.minutes = 60;
        profile.display = true;
        profile.acOnly = true;
        QCOMPARE(ProfilesPage::summary(profile),
                 QStringLiteral("60 minutes • Display awake • Mains only"));
        profile.minutes = 1e300;
        QVERIFY(ProfilesPage::summary(profile).endsWith(
            QStringLiteral(" minutes • Display awake • Mains only")));
    }

    // The session form is bound to the controller both ways: the mode picks the rows shown, the
    // minutes field takes any number and keeps the last one when the text is not a number.
    // Application mode lists the running applications after "Choose an app", which chooses none;
    // a chosen one starts its session.
    void sessionFormBinding() {
        DashboardRig ui;
        SessionsPage* page = sessionsPage(*ui.dashboard);
        QVERIFY(page->showsRow("Duration"));
        QVERIFY(!page->showsRow("Until local time"));
        QVERIFY(!page->showsRow("Running application"));

        page->minutesField()->setFocus();
        page->minutesField()->selectAll();
        QTest::keyClicks(page->minutesField(), "2000");
        QCOMPARE(ui.model->minutes(), 2000.0);
        page->minutesField()->selectAll();
        QTest::keyClicks(page->minutesField(), "soon");
        QCOMPARE(ui.model->minutes(), 2000.0);
        ui.model->setMinutes(45);
        QCOMPARE(page->minutesField()->value(), 45.0);

        test::choose(page->modePicker(), 1);
        QCOMPARE(ui.model->mode(), SessionMode::until);
        QVERIFY(!page->showsRow("Duration"));
        QVERIFY(page->showsRow("Until local time"));
        page->clockPicker()->setTime(QTime(7, 30));
        QCOMPARE(ui.calendar().minuteOfDay(ui.model->clock()), std::optional<int>(7 * 60 + 30));
        ui.model->setClock(*ui.calendar().nextOccurrence(22, 15, ui.rig.time->now));
        QCOMPARE(page->clockPicker()->time(), QTime(22, 15));

        ui.model->setMode(SessionMode::indefinite);
        QCOMPARE(page->modePicker()->currentText(), QStringLiteral("Until stopped"));
        QVERIFY(!page->showsRow("Until local time"));

        page->displaySwitch()->click();
        QVERIFY(ui.model->keepDisplay());
        ui.model->setAcOnly(true);
        QVERIFY(page->mainsSwitch()->isChecked());
        QVERIFY(!page->stopButton()->isEnabled());

        ui.rig.source->apps = {{41, "vlc", "VLC media player"}, {42, "rsync", ""}};
        ui.rig.source->snapshot.running = {"vlc", "rsync"};
        ui.model->setMode(SessionMode::application);
        QVERIFY(page->showsRow("Running application"));
        AppPicker* picker = page->appPicker();
        picker->reload();
        QCOMPARE(picker->count(), 3);
        QCOMPARE(picker->itemText(0), QStringLiteral("Choose an app"));
        QCOMPARE(picker->itemText(1), QStringLiteral("VLC media player"));
        QCOMPARE(picker->itemText(2), QStringLiteral("App"));
        QCOMPARE(picker->currentIndex(), 0);
        QVERIFY(ui.model->appID().empty());
        test::choose(picker, 2);
        QCOMPARE(ui.model->appID(), std::string("rsync"));
        page->startButton()->click();
        QVERIFY(ui.model->manual());
    }

    // The status group: no "Resume automation" unless paused, "Stop all" only while active,
    // and the countdown ticks only while it can be seen. The Overview's headline follows the
    // state and its button leads to Sessions.
    void statusGroupAndOverviewFollowTheController() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        auto* overview = qobject_cast<OverviewPage*>(dashboard.pageWidget("Overview"));
        QVERIFY(overview);
        StatusGroup* status = sessionsPage(dashboard)->status();
        const auto state = [&] {
            return test::looks({overview->headline(), status->stateLine(), status->countdown(),
                                status->stopButton(), status->resumeButton()});
        };
        QCOMPARE(state(),
                 QStringLiteral("Ready when you are | Idle system sleep allowed | hidden | "
                                "Stop all (off) | hidden"));
        QVERIFY(status->startedLine()->isHidden());

        dashboard.resize(1000, 700);
        dashboard.show();
        test::button(overview, "Set up a session")->click();
        QCOMPARE(dashboard.page(), QStringLiteral("Sessions"));
        ui.model->setMinutes(5);
        ui.model->start();
        QCOMPARE(state(), QStringLiteral("Keeping idle sleep away | Idle system sleep prevented | "
                                         "Ends 5:00 | Stop all | hidden"));
        QVERIFY(status->startedLine()->text().startsWith(QStringLiteral("Started ")));

        ui.rig.time->advance(61);
        QTRY_COMPARE_WITH_TIMEOUT(status->countdown()->text(), QStringLiteral("Ends 3:59"), 2500);

        // The Overview's own status group is hidden, so it does not tick.
        QVERIFY(!overview->status()->ticking());
        dashboard.hide();
        QVERIFY(!status->ticking());
        dashboard.show();

        status->stopButton()->click();
        QCOMPARE(state(),
                 QStringLiteral("Ready when you are | Idle system sleep allowed | hidden | "
                                "Stop all (off) | Resume automation"));
        status->resumeButton()->click();
        QVERIFY(!ui.model->automationPaused());
        QVERIFY(status->resumeButton()->isHidden());
    }

    // Every control of the frame and the session form can be reached with Tab.
    void everyControlTakesTabFocus() {
        DashboardRig ui;
        Dashboard& dashboard = *ui.dashboard;
        dashboard.show();
        dashboard.setPage("Sessions");
        QSet<QWidget*> chain;
        QWidget* first = dashboard.navigationLabel("Overview");
        for (QWidget* each = first->nextInFocusChain(); each != first;
             each = each->nextInFocusChain())
            chain.insert(each);
        QList<QWidget*> controls = {dashboard.toolbarButton(), dashboard.navigationLabel("About")};
        SessionsPage* page = sessionsPage(dashboard);
        controls << page->modePicker() << page->minutesField() << page->displaySwitch()
                 << page->mainsSwitch() << page->startButton() << page->status()->resumeButton();
        for (QWidget* control : controls) {
            QVERIFY(chain.contains(control));
            QVERIFY(control->focusPolicy() & Qt::TabFocus);
        }
        for (FenmarchNavigationLabel* label : dashboard.findChildren<FenmarchNavigationLabel*>())
            QCOMPARE(label->accessibleName(), label->name());
    }

    // The window opens at 1100 by 780 only where that fits beside the desktop's panels and
    // the title bar, and never shrinks below 950 by 660 unless the screen is smaller still.
    void windowFitsTheScreen() {
        const struct {
            QRect available;
            QSize size, minimum;
        } cases[] = {
            {{0, 0, 1920, 1050}, {1100, 780}, {950, 660}},
            {{0, 32, 1366, 736}, {1100, 706}, {950, 660}}, // 1366x768 under a top panel
            {{0, 0, 1024, 600}, {1024, 570}, {950, 570}},
        };
        for (const auto& each : cases) {
            const MainWindow::Fit fit = MainWindow::fitted(each.available, QMargins(0, 30, 0, 0));
            QCOMPARE(QList({fit.size, fit.minimum}), QList({each.size, each.minimum}));
        }
    }

    // Where the window was left, and at what size, is where it opens next time.
    void windowGeometryIsRemembered() {
        test::ModelRig rig;
        auto model = rig.make();
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        QRect left;
        {
            MainWindow window(*model, new QWidget);
            QVERIFY(room.contains(window.geometry()));
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            left = QRect(room.topLeft() + QPoint(2, 60), window.minimumSize() + QSize(0, 20));
            QVERIFY(room.contains(left));
            window.setGeometry(left);
            window.close();
        }
        QVERIFY(QSettings().contains("windowGeometry"));
        MainWindow again(*model, new QWidget);
        QCOMPARE(again.geometry(), left);
    }
};

QTEST_MAIN(DashboardTest)
#include "DashboardTest.moc"
