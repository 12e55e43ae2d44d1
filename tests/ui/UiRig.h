#pragma once

#include "ModelRig.h"
#include "ui/Dashboard.h"
#include "ui/Panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
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

// Picks an entry as the user does, so that the widget acts on it.
inline void choose(QComboBox* picker, int index) {
    picker->setCurrentIndex(index);
    emit picker->activated(index);
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

    template <class T = QAbstractButton> static T* button(QWidget* within, const QString& text) {
        for (T* each : within->findChildren<T*>())
            if (each->text() == text && each->isVisibleTo(within))
                return each;
        return nullptr;
    }
};

} // namespace wakeward::test
