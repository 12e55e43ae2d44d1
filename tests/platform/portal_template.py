"""A desktop portal that only takes inhibitions: each one gets a request object whose Close
ends it. Loaded by python3-dbusmock, started directly or on demand by a test bus.

Parameter "response": the code of the Response signal sent on the request for every inhibition
(default 0, granted; non-zero, the portal's backend failed; null, none at all, as older portals do
on success). The signal goes out before the call's reply, the earliest a caller can meet it."""

import dbus

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Inhibit'
REQUEST_IFACE = 'org.freedesktop.portal.Request'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.portal_response = parameters.get('response', 0)
    mock.AddMethod(MAIN_IFACE, 'Inhibit', 'sua{sv}', 'o',
                   "p = '/org/freedesktop/portal/desktop/request/1_1/t%d' % args[1]\n"
                   "if p not in objects:\n"
                   "    self.AddObject(p, '" + REQUEST_IFACE + "', {}, [('Close', '', '', '')])\n"
                   "if self.portal_response is not None:\n"
                   "    objects[p].EmitSignal('" + REQUEST_IFACE + "', 'Response', 'ua{sv}',\n"
                   "        [dbus.UInt32(self.portal_response), dbus.Dictionary({}, signature='sv')])\n"
                   "ret = dbus.ObjectPath(p)")
