#pragma once

#include <QWidget>
#include <vector>
#include <wakeward/Records.h>

class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Dashboard;
class Model;
class TitledGroup;

// "Profiles": new, import and export, then one group per saved profile with its summary and
// its actions.
class ProfilesPage : public QWidget {
    Q_OBJECT
public:
    ProfilesPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    // "60 minutes • Display may sleep • Battery safeguard".
    static QString summary(const Profile& profile);

    QPushButton* newButton() const { return m_new; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* exportButton() const { return m_export; }
    // The groups in list order, one per profile.
    const std::vector<TitledGroup*>& groups() const { return m_groups; }
    // The button of the group at `index` with that text ("Start", "Edit", "Duplicate", ...).
    QPushButton* button(std::size_t index, const QString& text) const;

private:
    void rebuild();
    TitledGroup* makeGroup(const Profile& profile);
    void toggleFavourite(const Uuid& id);
    void duplicate(const Uuid& id);
    void remove(const Uuid& id);

    Model& m_model;
    Dashboard& m_dashboard;
    QPushButton* m_new = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QVBoxLayout* m_list = nullptr;
    std::vector<TitledGroup*> m_groups;
};

} // namespace wakeward
