#pragma once

#include "ModelRig.h"
#include "ui/Dashboard.h"
#include "ui/Panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace wakeward::test {

// Keeps the user-defaults store of a test program in a private folder.
inline void usePrivateSettings(const QTemporaryDir& folder) {
    QCoreApplication::setOrganizationName(QStringLiteral("fenmarch"));
    QCoreApplication::setApplicationName(QStringLiteral("Wakeward"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    QSettings().clear();
}

// The button within `within` that reads `text` and can be seen with it.
inline QAbstractButton* button(QWidget* within, const QString& text) {
    for (QAbstractButton* each : within->findChildren<QAbstractButton*>())
        if (each->text() == text && each->isVisibleTo(within))
            return each;
    return nullptr;
}

// Picks an entry as the user does, so that the widget acts on it.
inline void choose(QComboBox* picker, int index) {
    picker->setCurrentIndex(index);
    emit picker->activated(index);
}

// How a control reads to the user: its text or choice, "[x] " or "[ ] " before it when it can be
// ticked, " (off)" after it when it cannot be used, or "hidden".
inline QString look(const QWidget* widget) {
    if (widget->isHidden())
        return QStringLiteral("hidden");
    QString text = widget->property(qobject_cast<const QComboBox*>(widget) ? "currentText" : "text")
                       .toString();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget);
        button && button->isCheckable())
        text.prepend(button->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] "));
    return widget->isEnabled() ? text : text + QStringLiteral(" (off)");
}

// The looks of several controls in order, so that one comparison shows a whole state.
inline QString looks(std::initializer_list<const QWidget*> widgets) {
    QStringList each;
    for (const QWidget* widget : widgets)
        each << look(widget);
    return each.join(QStringLiteral(" | "));
}

// The texts of the labels within `widget`, in the order they were made.
inline QStringList labelTexts(const QWidget* widget) {
    QStringList texts;
    for (const QLabel* label : widget->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

// The rig's calendar and clock, as the pages show times.
inline TimeSource timeOf(const ModelRig& rig) {
    TimeSource source;
    source.calendar = [zone = rig.zone] { return Calendar::forZone(zone).value(); };
    source.now = [clock = rig.time] { return clock->now; };
    return source;
}

// Makes the rig's listing of other holds answer `entries` and count how often it is read.
inline void countListings(ModelRig& rig, std::shared_ptr<int> count,
                          std::vector<std::string> entries = {}) {
    rig.otherAssertions = [count = std::move(count), entries = std::move(entries)] {
        ++*count;
        return OptionalTexts(entries);
    };
}

// The tray panel, which lives in a window of its own.
inline Panel* findPanel() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* panel = top->findChild<Panel*>())
            return panel;
    return nullptr;
}

// A controller on fakes, with a listing of other holds that counts how often it is read, and a
// dashboard that shows times in the controller's calendar and clock.
struct DashboardRig {
    ModelRig rig;
    std::shared_ptr<int> listings = std::make_shared<int>(0);
    std::unique_ptr<Model> model;
    std::unique_ptr<Dashboard> dashboard;

    DashboardRig() {
        countListings(rig, listings, {"Process 7 • idle\nbackup"});
        model = rig.make();
        dashboard = std::make_unique<Dashboard>(*model, time());
    }

    TimeSource time() const { return timeOf(rig); }

    Calendar calendar() const { return time().calendar(); }
};

} // namespace wakeward::test
