"""Presses Alt+Super and a letter (default t: GNOME 48 offers Alt+Super+T for Ovra's Ctrl+Alt+T,
which the desktop's terminal holds) through mutter's remote desktop interface, on one connection:
a session ends with the connection that made it.
  press.py [LETTER]"""
import sys
import time

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(path, interface, method, args=None):
    return bus.call_sync('org.gnome.Mutter.RemoteDesktop', path, interface, method, args, None,
                         Gio.DBusCallFlags.NONE, 5000, None)


session = call('/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
               'CreateSession').unpack()[0]
SESSION = 'org.gnome.Mutter.RemoteDesktop.Session'
call(session, SESSION, 'Start')
keys = [0xffe9, 0xffeb, ord(sys.argv[1] if len(sys.argv) > 1 else 't')]  # Alt_L, Super_L
for pressed, order in ((True, keys), (False, list(reversed(keys)))):
    for key in order:
        call(session, SESSION, 'NotifyKeyboardKeysym', GLib.Variant('(ub)', (key, pressed)))
        time.sleep(0.05)
time.sleep(1)
