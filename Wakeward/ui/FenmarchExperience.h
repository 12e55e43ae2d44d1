#pragma once

#include "ui/FenmarchGuidance.h"

#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace wakeward {

class FenmarchTour;
class FenmarchWelcome;

// Presents the welcome and the walkthrough over a window: once per run when the window first
// appears, as the preferences ask, and the walkthrough again whenever "fenmarch.openTour" is
// posted.
class FenmarchExperience : public QObject {
    Q_OBJECT
public:
    FenmarchExperience(QWidget* window, QString name, bool free,
                       std::vector<FenmarchGuideStep> steps,
                       FenmarchLaunchSession& session = FenmarchLaunchSession::shared());

    bool showWelcome() const { return m_showWelcome; }
    bool showTour() const { return m_showTour; }
    bool tourAfterWelcome() const { return m_tourAfterWelcome; }
    // The open sheets, if any.
    FenmarchWelcome* welcome() const;
    FenmarchTour* tour() const;

    // Shows the walkthrough from its first step (after the welcome, while that is open).
    void openTour();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appear();
    void setShowWelcome(bool show);
    void setShowTour(bool show);

    QWidget* m_window;
    QString m_name;
    bool m_free;
    std::vector<FenmarchGuideStep> m_steps;
    FenmarchLaunchSession& m_session;
    bool m_appeared = false;
    bool m_showWelcome = false;
    bool m_showTour = false;
    bool m_tourAfterWelcome = false;
    QPointer<FenmarchWelcome> m_welcome;
    QPointer<FenmarchTour> m_tour;
};

} // namespace wakeward
