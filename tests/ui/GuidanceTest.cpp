#include "UiRig.h"
#include "ui/FenmarchExperience.h"
#include "ui/FenmarchGuidanceSettings.h"
#include "ui/FenmarchTour.h"
#include "ui/FenmarchWelcome.h"
#include "ui/LinkLabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

using namespace wakeward;

namespace {

// A shown main window with the walkthrough's steps, presented through its own launch record.
struct Window {
    QWidget widget;
    FenmarchExperience* experience;

    explicit Window(FenmarchLaunchSession& session, bool free = true) {
        widget.resize(900, 700);
        experience = new FenmarchExperience(&widget, QStringLiteral("Wakeward"), free,
                                            fenmarch::wakewardTourSteps(), session);
        widget.show();
    }
};

} // namespace

class GuidanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private slots:
    void initTestCase() { test::usePrivateSettings(m_settings); }
    void init() { QSettings().clear(); }

    // With both start-up preferences on, the welcome comes first; after "Continue" the
    // walkthrough opens at step 1 of 3 without "Back", and "Get started" on step 3 closes it.
    void welcomeThenTourToTheEnd() {
        FenmarchLaunchSession session;
        Window window(session);
        FenmarchExperience& experience = *window.experience;
        QVERIFY(experience.welcome() && experience.welcome()->isVisible());
        QVERIFY(!experience.tour());
        // Tab goes round the sheet's own controls and never reaches the window beneath.
        QWidget* beneath = new QPushButton(QStringLiteral("Beneath"), &window.widget);
        beneath->show();
        beneath->lower();
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                        : experience.welcome(),
                            Qt::Key_Tab);
            QVERIFY(experience.welcome()->card()->isAncestorOf(window.widget.focusWidget()));
        }

        // A product card that has the focus shows it.
        window.widget.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window.widget));
        const auto cards = experience.welcome()->card()->findChildren<QWidget*>("product");
        QCOMPARE(cards.size(), 2);
        for (QWidget* card : cards) {
            experience.welcome()->continueButton()->setFocus();
            const QImage plain = card->grab().toImage();
            card->setFocus(Qt::TabFocusReason);
            QVERIFY(card->hasFocus());
            QVERIFY(card->grab().toImage() != plain);
        }

        experience.welcome()->continueButton()->click();
        QVERIFY(!experience.welcome());
        QVERIFY(!experience.showWelcome());
        FenmarchTour* tour = experience.tour();
        QVERIFY(tour && tour->isVisible());
        const auto step = [tour] {
            return test::looks(
                {tour->stepCaption(), tour->heading(), tour->backButton(), tour->defaultButton()});
        };
        QCOMPARE(step(), QStringLiteral("Step 1 of 3 | Choose your session | hidden | Next"));

        // Return presses the default button.
        QTest::keyClick(tour, Qt::Key_Return);
        QCOMPARE(step(), QStringLiteral("Step 2 of 3 | Check the reason | Back | Next"));
        tour->backButton()->click();
        QCOMPARE(tour->index(), 0);
        tour->defaultButton()->click();
        tour->defaultButton()->click();
        QCOMPARE(step(), QStringLiteral("Step 3 of 3 | Make it your own | Back | Get started"));
        tour->defaultButton()->click();
        QVERIFY(!experience.tour());
        QVERIFY(!experience.showTour());
    }

    // Welcome off and walkthrough on: the walkthrough opens directly. Both off: nothing opens. An
    // app that is not free never shows the welcome, whatever is stored.
    void startupFollowsThePreferences_data() {
        QTest::addColumn<bool>("welcome");
        QTest::addColumn<bool>("tour");
        QTest::addColumn<bool>("free");
        QTest::addColumn<bool>("tourShown");
        QTest::newRow("walkthrough only") << false << true << true << true;
        QTest::newRow("neither") << false << false << true << false;
        QTest::newRow("not free") << true << true << false << true;
    }
    void startupFollowsThePreferences() {
        QFETCH(bool, welcome);
        QFETCH(bool, tour);
        QFETCH(bool, free);
        QFETCH(bool, tourShown);
        fenmarch::setPreference(fenmarch::showWelcomeKey, welcome);
        fenmarch::setPreference(fenmarch::showTourKey, tour);
        FenmarchLaunchSession session;
        Window window(session, free);
        QVERIFY(!window.experience->welcome());
        FenmarchTour* shown = window.experience->tour();
        QCOMPARE(shown && shown->isVisible(), tourShown);
        if (shown)
            QCOMPARE(shown->index(), 0);
    }

    // Unticking the welcome's own box stores the choice but still lets the walkthrough follow
    // in this run; Escape and a click on the background finish the welcome as well.
    void uncheckedWelcomeStillLeadsToTour() {
        FenmarchLaunchSession session;
        Window window(session);
        FenmarchWelcome* welcome = window.experience->welcome();
        QVERIFY(welcome);
        welcome->showAtStartupBox()->click();
        QVERIFY(!fenmarch::preference(fenmarch::showWelcomeKey));
        QTest::keyClick(welcome, Qt::Key_Escape);
        QVERIFY(!window.experience->welcome());
        QVERIFY(window.experience->tour());

        FenmarchLaunchSession another;
        fenmarch::setPreference(fenmarch::showWelcomeKey, true);
        Window second(another);
        FenmarchWelcome* secondWelcome = second.experience->welcome();
        QVERIFY(secondWelcome);
        // A click on the card itself is not a click on the background.
        QTest::mouseClick(secondWelcome, Qt::LeftButton, {},
                          secondWelcome->card()->geometry().center());
        QVERIFY(second.experience->welcome());
        QTest::mouseClick(secondWelcome, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!second.experience->welcome());
        QVERIFY(second.experience->tour());
        second.experience->tour()->dismiss();
    }

    // Hiding and showing the window again, or opening a new one in the same run, presents
    // nothing; "Open walkthrough" still opens the walkthrough at its first step.
    void oncePerRunButOnDemandAlways() {
        FenmarchLaunchSession session;
        {
            Window window(session);
            window.experience->welcome()->finish();
            window.experience->tour()->dismiss();
            window.widget.hide();
            window.widget.show();
            QVERIFY(!window.experience->welcome());
            QVERIFY(!window.experience->tour());
        }
        Window reopened(session);
        QVERIFY(!reopened.experience->welcome());
        QVERIFY(!reopened.experience->tour());
        QCOMPARE(session.presented, std::set<QString>{QStringLiteral("Wakeward")});

        FenmarchGuidanceSettings settings(true);
        settings.openTourButton()->click();
        QVERIFY(reopened.experience->tour());
        QCOMPARE(reopened.experience->tour()->index(), 0);
        reopened.experience->tour()->defaultButton()->click();
        settings.openTourButton()->click();
        QCOMPARE(reopened.experience->tour()->index(), 0);
    }

    // The settings switches store the three preferences only when flipped; the welcome switch
    // exists only for a free app; the links are tagged with where they were shown.
    void guidanceSettings() {
        FenmarchGuidanceSettings free(true);
        QVERIFY(!QSettings().contains(fenmarch::showStepsKey));
        free.stepsSwitch()->click();
        QVERIFY(!fenmarch::preference(fenmarch::showStepsKey));
        free.tourSwitch()->click();
        QVERIFY(!fenmarch::preference(fenmarch::showTourKey));
        QVERIFY(free.welcomeSwitch());
        free.welcomeSwitch()->click();
        QVERIFY(!fenmarch::preference(fenmarch::showWelcomeKey));
        QVERIFY(!FenmarchGuidanceSettings(false).welcomeSwitch());

        QCOMPARE(free.links().size(), 3);
        for (const LinkLabel* link : free.links())
            QCOMPARE(QUrlQuery(link->url()).queryItemValue(QStringLiteral("utm_content")),
                     QStringLiteral("settings"));
    }
};

QTEST_MAIN(GuidanceTest)
#include "GuidanceTest.moc"
