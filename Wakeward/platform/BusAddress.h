#pragma once

#include <QString>

namespace wakeward {

// Where the session and system buses are, read afresh from the environment on every call.
class BusAddress {
public:
    /// $DBUS_SESSION_BUS_ADDRESS, else the user bus socket in $XDG_RUNTIME_DIR when it exists;
    /// empty when none.
    static QString session();
    /// $DBUS_SYSTEM_BUS_ADDRESS, else the standard system bus socket.
    static QString system();
};

} // namespace wakeward
