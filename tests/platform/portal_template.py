"""A desktop portal that only takes inhibitions: each one gets a request object whose Close
ends it. Loaded by python3-dbusmock, started directly or on demand by a test bus."""

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Inhibit'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethod(MAIN_IFACE, 'Inhibit', 'sua{sv}', 'o',
                   "p = '/org/freedesktop/portal/desktop/request/1_1/t%d' % args[1]\n"
                   "self.AddObject(p, 'org.freedesktop.portal.Request', {}, [('Close', '', '', '')])\n"
                   "ret = dbus.ObjectPath(p)")
