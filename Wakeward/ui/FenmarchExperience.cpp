#include "ui/FenmarchExperience.h"

#include "ui/FenmarchTour.h"
#include "ui/FenmarchWelcome.h"

#include <QEvent>
#include <QWidget>

namespace wakeward {

FenmarchExperience::FenmarchExperience(QWidget* window, QString name, bool free,
                                       std::vector<FenmarchGuideStep> steps,
                                       FenmarchLaunchSession& session)
    : QObject(window), m_window(window), m_name(std::move(name)), m_free(free),
      m_steps(std::move(steps)), m_session(session) {
    window->installEventFilter(this);
    connect(&FenmarchNotifications::center(), &FenmarchNotifications::posted, this,
            [this](const QString& notification) {
                if (notification == fenmarch::openTourNotification)
                    openTour();
            });
    if (window->isVisible())
        appear();
}

FenmarchWelcome* FenmarchExperience::welcome() const {
    return m_welcome;
}

FenmarchTour* FenmarchExperience::tour() const {
    return m_tour;
}

void FenmarchExperience::openTour() {
    // The welcome is still open: the walkthrough follows it instead of covering it.
    if (m_showWelcome)
        m_tourAfterWelcome = true;
    else
        setShowTour(true);
}

bool FenmarchExperience::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Show && !m_appeared)
        appear();
    return QObject::eventFilter(watched, event);
}

void FenmarchExperience::appear() {
    m_appeared = true;
    if (m_steps.empty() || !m_session.markPresented(m_name))
        return;
    // The decision is taken now: unticking the welcome's box later does not cancel the tour.
    if (m_free && fenmarch::preference(fenmarch::showWelcomeKey)) {
        m_tourAfterWelcome = fenmarch::preference(fenmarch::showTourKey);
        setShowWelcome(true);
    } else {
        setShowTour(fenmarch::preference(fenmarch::showTourKey));
    }
}

void FenmarchExperience::setShowWelcome(bool show) {
    m_showWelcome = show;
    if (show && !m_welcome) {
        m_welcome = new FenmarchWelcome(m_name, m_window);
        connect(m_welcome, &FenmarchSheet::closed, this, [this] {
            m_welcome = nullptr;
            m_showWelcome = false;
            if (m_tourAfterWelcome) {
                m_tourAfterWelcome = false;
                setShowTour(true);
            }
        });
        m_welcome->present();
    } else if (!show && m_welcome) {
        m_welcome->dismiss();
    }
}

void FenmarchExperience::setShowTour(bool show) {
    m_showTour = show;
    if (show && m_steps.empty()) {
        m_showTour = false;
        return;
    }
    if (show && !m_tour) {
        m_tour = new FenmarchTour(m_name, m_steps, m_window);
        connect(m_tour, &FenmarchSheet::closed, this, [this] {
            m_tour = nullptr;
            m_showTour = false;
        });
        m_tour->present();
    } else if (show && m_tour) {
        m_tour->setIndex(0);
        m_tour->present();
    } else if (!show && m_tour) {
        m_tour->dismiss();
    }
}

} // namespace wakeward
