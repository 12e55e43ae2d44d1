#pragma once

#include "ui/InspectorPage.h"
#include "ui/ProfileEditor.h"
#include "ui/RuleEditor.h"
#include "ui/ScheduleEditor.h"
#include "ui/TimeSource.h"

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <wakeward/Records.h>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace wakeward {

class FenmarchNavigationLabel;
class FenmarchSteps;
class LoginItem;
class Model;

// The main window's content: a sidebar of pages and a scrollable detail area with the page's
// title, its numbered steps and the page itself; the start/stop button, the message alert and
// the editor sheets. It keeps only presentation state; every action calls the controller.
class Dashboard : public QWidget {
    Q_OBJECT
public:
    explicit Dashboard(Model& model, TimeSource time = {}, QWidget* parent = nullptr);
    ~Dashboard() override;

    // The page titles in sidebar order, and each page's symbol.
    static const QStringList& pageTitles();
    static QString pageSymbol(const QString& page);
    // The three numbered steps of a page; a page without its own shows the session steps.
    static QStringList stepsFor(const QString& page);

    QString page() const { return m_page; }
    // Selects a page; arriving on the inspector refreshes the other processes' reports.
    void setPage(const QString& page);
    // The inspector was asked for: shows it with a fresh list of reports.
    void showInspector();

    // The "fenmarch.showSteps" preference; switching it applies at once.
    bool stepsVisible() const;
    void setStepsVisible(bool visible);
    // The steps shown above the page, none while they are switched off.
    QStringList shownSteps() const;

    // Opens the matching editor sheet on a copy of the record. Saving writes it back by `id`
    // (in place, or appended when new) and saves; cancelling changes nothing.
    void editProfile(const Profile& profile);
    void editRule(const Rule& rule);
    void editSchedule(const Schedule& schedule);

    // Gives the settings page its launch-at-login control; `loginItem` must outlive the page.
    void setLoginItem(LoginItem& loginItem);
    // Where the inspector reads Wakeward's own assertion identifiers from.
    void setHeldAssertions(std::function<HeldAssertions()> held);

    const TimeSource& time() const { return m_time; }
    QWidget* pageWidget(const QString& page);
    FenmarchNavigationLabel* navigationLabel(const QString& page) const;
    QToolButton* toolbarButton() const { return m_toolbarButton; }
    QLabel* titleLabel() const { return m_title; }
    // The open sheets and alert, if any.
    ProfileEditor* profileEditor() const { return m_profileEditor; }
    RuleEditor* ruleEditor() const { return m_ruleEditor; }
    ScheduleEditor* scheduleEditor() const { return m_scheduleEditor; }
    QMessageBox* messageAlert() const { return m_alert; }

signals:
    void pageChanged(const QString& page);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSidebar();
    void addPage(const QString& title, std::function<QWidget*()> make);
    void refreshToolbar();
    void refreshSteps();
    void showMessage();
    void saveProfile(const Profile& profile);
    void saveRule(const Rule& rule);
    void saveSchedule(const Schedule& schedule);

    Model& m_model;
    TimeSource m_time;
    QString m_page;
    std::map<QString, QWidget*> m_pages;
    std::map<QString, std::function<QWidget*()>> m_pageMakers;
    LoginItem* m_loginItem = nullptr;
    std::function<HeldAssertions()> m_heldAssertions;
    std::map<QString, FenmarchNavigationLabel*> m_navigation;
    QVBoxLayout* m_pageStack = nullptr;
    QLabel* m_title = nullptr;
    FenmarchSteps* m_steps = nullptr;
    QToolButton* m_toolbarButton = nullptr;
    QPointer<QMessageBox> m_alert;
    QPointer<ProfileEditor> m_profileEditor;
    QPointer<RuleEditor> m_ruleEditor;
    QPointer<ScheduleEditor> m_scheduleEditor;
};

} // namespace wakeward
