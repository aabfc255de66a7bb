"""A StatusNotifierWatcher for python3-dbusmock: the desktop service with which tray icons
register. It accepts every item and host and reports a host as present, so that Qt shows
its tray icons through it."""

import dbus

from dbusmock import MOCK_IFACE

BUS_NAME = "org.kde.StatusNotifierWatcher"
MAIN_OBJ = "/StatusNotifierWatcher"
MAIN_IFACE = "org.kde.StatusNotifierWatcher"
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(
        MAIN_IFACE,
        dbus.Dictionary(
            {
                "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
                "IsStatusNotifierHostRegistered": True,
                "ProtocolVersion": dbus.Int32(0),
            },
            signature="sv",
        ),
    )
    mock.AddMethods(
        MAIN_IFACE,
        [
            (
                "RegisterStatusNotifierItem",
                "s",
                "",
                "self.EmitSignal('org.kde.StatusNotifierWatcher', "
                "'StatusNotifierItemRegistered', 's', [args[0]])",
            ),
            ("RegisterStatusNotifierHost", "s", "", ""),
        ],
    )


__all__ = ["BUS_NAME", "MAIN_OBJ", "MAIN_IFACE", "SYSTEM_BUS", "load", "MOCK_IFACE"]
