#pragma once

#include "ui/TimeSource.h"

#include <QPointer>
#include <QWidget>
#include <vector>
#include <wakeward/Records.h>

class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Model;
class TitledGroup;

// "History": the local events, filtered by text, with export and clearing.
class HistoryPage : public QWidget {
    Q_OBJECT
public:
    HistoryPage(Model& model, TimeSource time, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return m_search; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* clearButton() const { return m_clear; }
    QLabel* retentionCaption() const { return m_retention; }
    // "No sessions yet…", shown only while the history itself is empty.
    QLabel* emptyNote() const { return m_empty; }
    // The groups drawn so far; long lists are drawn a batch at a time.
    const std::vector<TitledGroup*>& groups() const { return m_groups; }
    // The events that pass the filter, in the controller's order.
    const std::vector<HistoryEvent>& listed() const { return m_listed; }
    // The clearing confirmation while it is open.
    QMessageBox* clearConfirmation() const { return m_confirm; }

    // Whether an event's reason and type ("reason type") contain the query, ignoring case
    // under the user's locale; an empty query passes everything.
    static bool matches(const HistoryEvent& event, const QString& query);
    // The small line under an event: its battery text and, for a hold that lasted, its length.
    static QString detailLine(const HistoryEvent& event);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshCaption();
    void rebuild();
    void drawBatch();
    void askToClear();

    Model& m_model;
    TimeSource m_time;
    QLineEdit* m_search = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_clear = nullptr;
    QLabel* m_retention = nullptr;
    QLabel* m_empty = nullptr;
    QVBoxLayout* m_list = nullptr;
    std::vector<HistoryEvent> m_listed;
    std::vector<TitledGroup*> m_groups;
    // Rebuilding bumps it, so batches scheduled for an older list stop.
    unsigned m_generation = 0;
    // The list changed while the page was hidden and waits to be drawn.
    bool m_stale = false;
    QPointer<QMessageBox> m_confirm;
};

} // namespace wakeward
