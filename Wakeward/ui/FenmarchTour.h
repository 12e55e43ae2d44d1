#pragma once

#include "ui/FenmarchGuidance.h"
#include "ui/FenmarchSheet.h"

#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

namespace wakeward {

// The walkthrough: one step at a time with Back, Next and finally "Get started"; Escape or
// "Skip walkthrough" dismisses it.
class FenmarchTour : public FenmarchSheet {
    Q_OBJECT
public:
    FenmarchTour(const QString& name, std::vector<FenmarchGuideStep> steps, QWidget* window);

    int index() const { return m_index; }
    void setIndex(int index);

    QLabel* stepCaption() const { return m_caption; }
    QLabel* heading() const { return m_heading; }
    QLabel* detail() const { return m_detail; }
    QCheckBox* showAtStartupBox() const { return m_showAtStartup; }
    QPushButton* skipButton() const { return m_skip; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* defaultButton() const { return m_next; }

    // The heading for a step: a title that is only a number ("Step 2") reads "Getting started".
    static QString headingFor(const FenmarchGuideStep& step);

protected:
    void escapePressed() override { dismiss(); }

private:
    void advance();
    void render();

    QString m_name;
    std::vector<FenmarchGuideStep> m_steps;
    int m_index = 0;
    QLabel* m_caption = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_detail = nullptr;
    QCheckBox* m_showAtStartup = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
};

} // namespace wakeward
