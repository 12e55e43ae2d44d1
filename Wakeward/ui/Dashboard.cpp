#include "ui/Dashboard.h"

#include "controller/Model.h"
#include "ui/AboutPage.h"
#include "ui/DriveAwakePage.h"
#include "ui/FenmarchGuidance.h"
#include "ui/FenmarchHeader.h"
#include "ui/FenmarchNavigationLabel.h"
#include "ui/FenmarchSteps.h"
#include "ui/HistoryPage.h"
#include "ui/Icons.h"
#include "ui/OverviewPage.h"
#include "ui/ProfileEditor.h"
#include "ui/ProfilesPage.h"
#include "ui/RulesPage.h"
#include "ui/ScheduleEditor.h"
#include "ui/SchedulesPage.h"
#include "ui/SessionsPage.h"
#include "ui/SettingsPage.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wakeward {

namespace {

const QString inspectorPage = QStringLiteral("Sleep Inspector");

// Replaces the entry with the record's id where it stands, or appends a new one.
template <class T> std::vector<T> withRecord(std::vector<T> list, const T& record) {
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const T& each) { return each.id == record.id; });
    if (found != list.end())
        *found = record;
    else
        list.push_back(record);
    return list;
}

// The sidebar's column, a shade apart from the detail area in either appearance.
class Sidebar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor shade = palette().color(QPalette::WindowText);
        shade.setAlphaF(0.045f);
        painter.fillRect(rect(), shade);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.12f);
        painter.setPen(line);
        painter.drawLine(rect().topRight(), rect().bottomRight());
    }
};

} // namespace

Dashboard::Dashboard(Model& model, TimeSource time, QWidget* parent)
    : QWidget(parent), m_model(model), m_time(std::move(time)) {
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(buildSidebar());

    auto* detail = new QVBoxLayout;
    detail->setContentsMargins(0, 0, 0, 0);
    detail->setSpacing(0);
    auto* toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(28, 10, 18, 6);
    toolbar->addStretch(1);
    m_toolbarButton = new QToolButton(this);
    m_toolbarButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbarButton->setFocusPolicy(Qt::StrongFocus);
    m_toolbarButton->setIconSize(QSize(18, 18));
    connect(m_toolbarButton, &QToolButton::clicked, this, [this] {
        if (m_model.active()) {
            m_model.endAll("Stopped by you");
        } else {
            setPage(QStringLiteral("Sessions"));
            m_model.start();
        }
    });
    toolbar->addWidget(m_toolbarButton);
    detail->addLayout(toolbar);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("detail"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setMaximumWidth(900);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(28, 6, 28, 28);
    column->setSpacing(16);
    m_title = new QLabel(content);
    m_title->setFont(scaledFont(this, 2.0, true));
    column->addWidget(m_title);
    m_steps = new FenmarchSteps(content);
    column->addWidget(m_steps);
    m_pageStack = new QVBoxLayout;
    m_pageStack->setContentsMargins(0, 4, 0, 0);
    column->addLayout(m_pageStack);
    column->addStretch(1);
    scroll->setWidget(content);
    detail->addWidget(scroll, 1);
    columns->addLayout(detail, 1);

    addPage(QStringLiteral("Overview"),
            [this, &model, content] { return new OverviewPage(model, *this, content); });
    addPage(QStringLiteral("Sessions"),
            [this, &model, content] { return new SessionsPage(model, *this, content); });
    addPage(inspectorPage, [this, &model, content] {
        auto* inspector = new InspectorPage(model, m_time, content);
        if (m_heldAssertions)
            inspector->setHeldAssertions(m_heldAssertions);
        return inspector;
    });
    addPage(QStringLiteral("Profiles"),
            [this, &model, content] { return new ProfilesPage(model, *this, content); });
    addPage(QStringLiteral("Rules"),
            [this, &model, content] { return new RulesPage(model, *this, content); });
    addPage(QStringLiteral("Schedules"),
            [this, &model, content] { return new SchedulesPage(model, *this, content); });
    addPage(QStringLiteral("Drive Awake"),
            [&model, content] { return new DriveAwakePage(model, content); });
    addPage(QStringLiteral("History"),
            [this, &model, content] { return new HistoryPage(model, m_time, content); });
    addPage(QStringLiteral("Settings"), [this, &model, content] {
        auto* settings = new SettingsPage(model, content);
        connect(settings, &SettingsPage::stepsVisibilityChanged, this, &Dashboard::setStepsVisible);
        if (m_loginItem)
            settings->setLoginItem(*m_loginItem);
        return settings;
    });
    addPage(QStringLiteral("About"), [content] { return new AboutPage(content); });

    connect(&model, &Model::activeChanged, this, &Dashboard::refreshToolbar);
    connect(&model, &Model::messageChanged, this, &Dashboard::showMessage);
    refreshToolbar();
    setPage(QStringLiteral("Overview"));
}

Dashboard::~Dashboard() = default;

const QStringList& Dashboard::pageTitles() {
    static const QStringList titles = {
        QStringLiteral("Overview"),        QStringLiteral("Sessions"),
        QStringLiteral("Sleep Inspector"), QStringLiteral("Profiles"),
        QStringLiteral("Rules"),           QStringLiteral("Schedules"),
        QStringLiteral("Drive Awake"),     QStringLiteral("History"),
        QStringLiteral("Settings"),        QStringLiteral("About")};
    return titles;
}

QString Dashboard::pageSymbol(const QString& page) {
    static const std::map<QString, QString> symbols = {
        {QStringLiteral("Overview"), QStringLiteral("square.grid.2x2")},
        {QStringLiteral("Sessions"), QStringLiteral("moon.zzz")},
        {QStringLiteral("Sleep Inspector"), QStringLiteral("eye")},
        {QStringLiteral("Profiles"), QStringLiteral("slider.horizontal.3")},
        {QStringLiteral("Rules"), QStringLiteral("bolt.badge.clock")},
        {QStringLiteral("Schedules"), QStringLiteral("calendar")},
        {QStringLiteral("Drive Awake"), QStringLiteral("externaldrive")},
        {QStringLiteral("History"), QStringLiteral("clock.arrow.circlepath")},
        {QStringLiteral("Settings"), QStringLiteral("gearshape")},
        {QStringLiteral("About"), QStringLiteral("info.circle")},
    };
    const auto found = symbols.find(page);
    return found == symbols.end() ? QString() : found->second;
}

QStringList Dashboard::stepsFor(const QString& page) {
    static const std::map<QString, QStringList> steps = {
        {QStringLiteral("Sleep Inspector"),
         {QStringLiteral("Check Wakeward’s own assertion and its reason."),
          QStringLiteral("Refresh reports from the system for other processes."),
          QStringLiteral(
              "Treat missing reports as unknown, not proof that nothing is preventing sleep.")}},
        {QStringLiteral("Profiles"),
         {QStringLiteral("Choose a task preset or create a profile."),
          QStringLiteral("Save its duration, display and power policy."),
          QStringLiteral("Start it here or from your menu-bar favourites.")}},
        {QStringLiteral("Rules"),
         {QStringLiteral("Add conditions and choose All or Any."),
          QStringLiteral("Test the live signals without creating a session."),
          QStringLiteral("Enable the rule when its reason and priority are correct.")}},
        {QStringLiteral("Schedules"),
         {QStringLiteral("Choose a one-off window or recurring local times."),
          QStringLiteral("Set weekdays and a power policy."),
          QStringLiteral(
              "Enable the schedule; it only runs while this app and the computer are running.")}},
        {QStringLiteral("Drive Awake"),
         {QStringLiteral("Choose a regular file on your external drive."),
          QStringLiteral("Enable conservative read-only activity."),
          QStringLiteral("Start a session; reads stop when the session ends.")}},
        {QStringLiteral("History"),
         {QStringLiteral("Review start and end reasons."),
          QStringLiteral("Filter local events by text."),
          QStringLiteral("Export CSV or clear history in this app.")}},
    };
    static const QStringList sessionSteps = {
        QStringLiteral("Choose a duration, end time or running app."),
        QStringLiteral("Choose display and battery policies, then start."),
        QStringLiteral("Stop from the app or menu bar at any time.")};
    const auto found = steps.find(page);
    return found == steps.end() ? sessionSteps : found->second;
}

void Dashboard::setPage(const QString& page) {
    if (!pageWidget(page) || page == m_page)
        return;
    m_page = page;
    for (const auto& [title, widget] : m_pages)
        widget->setVisible(title == page);
    m_navigation.at(page)->setSelected(true);
    m_title->setText(page);
    refreshSteps();
    if (auto* scroll = findChild<QScrollArea*>(QStringLiteral("detail")))
        scroll->verticalScrollBar()->setValue(0);
    if (page == inspectorPage)
        m_model.refreshOtherAssertions();
    emit pageChanged(page);
}

void Dashboard::showInspector() {
    if (m_page == inspectorPage)
        m_model.refreshOtherAssertions();
    else
        setPage(inspectorPage);
}

bool Dashboard::stepsVisible() const {
    return fenmarch::preference(fenmarch::showStepsKey);
}

void Dashboard::setStepsVisible(bool visible) {
    fenmarch::setPreference(fenmarch::showStepsKey, visible);
    refreshSteps();
}

QStringList Dashboard::shownSteps() const {
    return m_steps->isHidden() ? QStringList() : m_steps->steps();
}

void Dashboard::editProfile(const Profile& profile) {
    if (m_profileEditor) {
        m_profileEditor->raise();
        return;
    }
    m_profileEditor = new ProfileEditor(profile, this);
    m_profileEditor->setAttribute(Qt::WA_DeleteOnClose);
    // A closed sheet is gone for good, even before its deletion has run.
    connect(m_profileEditor, &QDialog::finished, this, [this] { m_profileEditor = nullptr; });
    connect(m_profileEditor, &ProfileEditor::saved, this, &Dashboard::saveProfile);
    m_profileEditor->open();
}

void Dashboard::editRule(const Rule& rule) {
    if (m_ruleEditor) {
        m_ruleEditor->raise();
        return;
    }
    m_ruleEditor = new RuleEditor(rule, m_model, this);
    m_ruleEditor->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_ruleEditor, &QDialog::finished, this, [this] { m_ruleEditor = nullptr; });
    connect(m_ruleEditor, &RuleEditor::saved, this, &Dashboard::saveRule);
    m_ruleEditor->open();
}

void Dashboard::editSchedule(const Schedule& schedule) {
    if (m_scheduleEditor) {
        m_scheduleEditor->raise();
        return;
    }
    m_scheduleEditor = new ScheduleEditor(schedule, m_time, this);
    m_scheduleEditor->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_scheduleEditor, &QDialog::finished, this, [this] { m_scheduleEditor = nullptr; });
    connect(m_scheduleEditor, &ScheduleEditor::saved, this, &Dashboard::saveSchedule);
    m_scheduleEditor->open();
}

void Dashboard::setLoginItem(LoginItem& loginItem) {
    m_loginItem = &loginItem;
    if (const auto built = m_pages.find(QStringLiteral("Settings")); built != m_pages.end())
        qobject_cast<SettingsPage*>(built->second)->setLoginItem(loginItem);
}

void Dashboard::setHeldAssertions(std::function<HeldAssertions()> held) {
    m_heldAssertions = std::move(held);
    if (const auto built = m_pages.find(inspectorPage); built != m_pages.end())
        qobject_cast<InspectorPage*>(built->second)->setHeldAssertions(m_heldAssertions);
}

// A page is built the first time it is shown or asked for, so an open window carries only the
// pages the user has visited.
QWidget* Dashboard::pageWidget(const QString& page) {
    if (const auto built = m_pages.find(page); built != m_pages.end())
        return built->second;
    const auto maker = m_pageMakers.find(page);
    if (maker == m_pageMakers.end())
        return nullptr;
    QWidget* widget = maker->second();
    m_pageMakers.erase(maker);
    widget->setObjectName(page);
    widget->setVisible(false);
    m_pageStack->addWidget(widget);
    m_pages[page] = widget;
    return widget;
}

FenmarchNavigationLabel* Dashboard::navigationLabel(const QString& page) const {
    const auto found = m_navigation.find(page);
    return found == m_navigation.end() ? nullptr : found->second;
}

void Dashboard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshSteps();
    showMessage();
}

QWidget* Dashboard::buildSidebar() {
    auto* sidebar = new Sidebar(this);
    sidebar->setFixedWidth(232);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(10, 14, 10, 12);
    layout->setSpacing(2);
    layout->addWidget(new FenmarchHeader(QStringLiteral("Wakeward"), QStringLiteral("moon.zzz"),
                                         QStringLiteral("wakeward"), sidebar));
    layout->addSpacing(14);
    for (const QString& title : pageTitles()) {
        auto* label = new FenmarchNavigationLabel(title, pageSymbol(title), sidebar);
        connect(label, &FenmarchNavigationLabel::clicked, this, [this, title] { setPage(title); });
        m_navigation[title] = label;
        layout->addWidget(label);
    }
    layout->addStretch(1);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(8, 0, 8, 0);
    footer->setSpacing(8);
    auto* shield = new QLabel(sidebar);
    shield->setForegroundRole(QPalette::PlaceholderText);
    setSymbol(shield, QStringLiteral("lock.shield"), 16);
    footer->addWidget(shield);
    footer->addWidget(captionLabel(QStringLiteral("Free and private"), sidebar), 1);
    layout->addLayout(footer);
    return sidebar;
}

void Dashboard::addPage(const QString& title, std::function<QWidget*()> make) {
    m_pageMakers[title] = std::move(make);
}

void Dashboard::refreshToolbar() {
    const bool active = m_model.active();
    m_toolbarButton->setText(active ? QStringLiteral("Stop all") : QStringLiteral("Start session"));
    setSymbol(m_toolbarButton,
              active ? QStringLiteral("stop.circle") : QStringLiteral("play.circle"));
}

void Dashboard::refreshSteps() {
    m_steps->setSteps(stepsFor(m_page));
    m_steps->setVisible(stepsVisible());
}

void Dashboard::showMessage() {
    const auto& message = m_model.message();
    if (!message) {
        if (m_alert)
            m_alert->close();
        return;
    }
    // A message that arrives while the window is hidden waits until it is shown again.
    if (!isVisible())
        return;
    const QString text = QString::fromStdString(*message);
    if (m_alert) {
        m_alert->setText(text);
        return;
    }
    m_alert = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Wakeward"), text,
                              QMessageBox::Ok, this);
    m_alert->setAttribute(Qt::WA_DeleteOnClose);
    m_alert->setAttribute(Qt::WA_WindowPropagation);
    m_alert->setEscapeButton(QMessageBox::Ok);
    connect(m_alert, &QMessageBox::finished, this, [this] {
        m_alert = nullptr;
        // However the alert was dismissed, the message has been seen.
        m_model.setMessage(std::nullopt);
    });
    m_alert->open();
}

void Dashboard::saveProfile(const Profile& profile) {
    m_model.setProfiles(withRecord(m_model.profiles(), profile));
    m_model.save();
}

void Dashboard::saveRule(const Rule& rule) {
    m_model.setRules(withRecord(m_model.rules(), rule));
    m_model.commit();
}

void Dashboard::saveSchedule(const Schedule& schedule) {
    m_model.setSchedules(withRecord(m_model.schedules(), schedule));
    m_model.commit();
}

} // namespace wakeward
