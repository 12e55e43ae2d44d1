#pragma once

#include "platform/LoginItem.h"

#include <QString>

namespace wakeward {

// Launch at login through an XDG autostart entry in the user's configuration folder.
class XdgAutostart final : public LoginItem {
public:
    // `configHome` is $XDG_CONFIG_HOME (or ~/.config); `command` starts Wakeward in the tray.
    XdgAutostart(QString configHome, QString command);

    // The configuration folder of the current user, as the XDG rules give it.
    static QString userConfigHome();

    bool enabled() const override;
    std::optional<std::string> setEnabled(bool enabled) override;

    QString entryPath() const;

private:
    QString m_configHome;
    QString m_command;
};

} // namespace wakeward
