#!/usr/bin/python3
"""Checks Ovra's GNOME Shell extension inside a running headless GNOME Shell (run-wayland.sh
--gnome --extension DIR): it answers only the connection owning Ovra's bus name, refuses a shortcut
without Control, Alt or Super, sends the focused window to that connection alone, and tells it
when nothing that selects is held.
  shell_helper_check.py [WINDOW_COMMAND...]
WINDOW_COMMAND opens a window (its focus must be reported to Ovra, and to no one else).
Exits 1 at the first failed check."""
import os
import subprocess
import sys
import time

import gi

gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

HELPER = 'app.ovra.Ovra.ShellHelper'
PATH = '/app/ovra/Ovra/ShellHelper'
OVRA = 'app.ovra.Ovra'
SHORTCUT = '<Alt><Super>F9'
# A shell still starting on a busy machine may not answer for many seconds.
TIMEOUT_MS = 30000


def fail(message):
    print(f'FAIL: {message}', file=sys.stderr)
    sys.exit(1)


def connect():
    return Gio.DBusConnection.new_for_address_sync(
        os.environ['DBUS_SESSION_BUS_ADDRESS'],
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)


def call(bus, method, *args):
    """The method's answer, or the D-Bus error's name."""
    signature = '(' + 's' * len(args) + ')' if args else None
    try:
        reply = bus.call_sync(HELPER, PATH, HELPER, method,
                              GLib.Variant(signature, args) if args else None, None,
                              Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)
        return reply.unpack()[0]
    except GLib.Error as error:
        return Gio.DBusError.get_remote_error(error) or error.message


def own(bus, name):
    reply = bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                          'RequestName', GLib.Variant('(su)', (name, 4)), None,
                          Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)
    if reply.unpack()[0] != 1:
        fail(f'could not own {name}')


def pump(seconds, until=lambda: False):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        context.iteration(False)
        time.sleep(0.01)


def expect(what, got, wanted):
    if got != wanted:
        fail(f'{what}: got {got!r}, wanted {wanted!r}')
    print(f'ok: {what}')


stranger = connect()
deadline = time.monotonic() + 20
while not stranger.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
                             'org.freedesktop.DBus', 'NameHasOwner', GLib.Variant('(s)', (HELPER,)),
                             None, Gio.DBusCallFlags.NONE, TIMEOUT_MS, None).unpack()[0]:
    if time.monotonic() > deadline:
        fail(f'{HELPER} is not on the bus')
    time.sleep(0.1)
print(f'ok: {HELPER} is on the bus')
info = stranger.call_sync('org.gnome.Shell', '/org/gnome/Shell', 'org.gnome.Shell.Extensions',
                          'GetExtensionInfo', GLib.Variant('(s)', ('ovra@ovra.app',)), None,
                          Gio.DBusCallFlags.NONE, TIMEOUT_MS, None).unpack()[0]
# 1 is the shell's ExtensionState.ENABLED (named ACTIVE from GNOME 48 on).
expect('the shell runs the extension', (info.get('state'), info.get('error')), (1.0, ''))

denied = 'org.freedesktop.DBus.Error.AccessDenied'
expect('a stranger cannot grab a shortcut', call(stranger, 'SetShortcut', SHORTCUT), denied)
expect('a stranger cannot read the focused window', call(stranger, 'GetFocusedWindow'), denied)

ovra = connect()
own(ovra, OVRA)
expect('Ovra grabs a shortcut', call(ovra, 'SetShortcut', SHORTCUT), True)
for plain in ('F12', '<Shift>a', 'a', '<Shift><Hyper>a', '<Control>'):
    expect(f'a shortcut without Control, Alt or Super is refused: {plain}',
           call(ovra, 'SetShortcut', plain), False)
expect('a stranger cannot follow the input',
       call(stranger, 'WaitForInputRelease'), denied)
expect('with nothing held, the gesture has ended', call(ovra, 'WaitForInputRelease'), True)
expect('Ovra reads the focused window', call(ovra, 'GetFocusedWindow').startswith('{"pid":'), True)
expect('a stranger still cannot grab', call(stranger, 'SetShortcut', SHORTCUT), denied)

# Whoever holds Ovra's name after it is Ovra: the first owner's connection is closed.
ovra.close_sync(None)
ovra = connect()
own(ovra, OVRA)
expect('the next owner of the name is answered', call(ovra, 'SetShortcut', SHORTCUT), True)
expect('Ovra releases the shortcut', call(ovra, 'SetShortcut', ''), True)
# An action's own shortcut, on the same terms.
ACTION_SHORTCUT = '<Alt><Super>F8'
expect('a stranger cannot grab an action shortcut',
       call(stranger, 'SetActionShortcut', 'translate-replace', ACTION_SHORTCUT), denied)
expect('Ovra grabs an action shortcut',
       call(ovra, 'SetActionShortcut', 'translate-replace', ACTION_SHORTCUT), True)
expect('an action the program does not have gets none',
       call(ovra, 'SetActionShortcut', 'reboot', '<Alt><Super>F7'), False)
expect('Ovra releases the action shortcut',
       call(ovra, 'SetActionShortcut', 'translate-replace', ''), True)

if len(sys.argv) > 1:
    heard = {'ovra': [], 'stranger': []}
    for who, bus in (('ovra', ovra), ('stranger', stranger)):
        # No sender filter: a signal sent to one connection is delivered whatever its match rules.
        bus.signal_subscribe(None, HELPER, None, PATH, None, Gio.DBusSignalFlags.NONE,
                             lambda _b, _s, _p, _i, member, params, who=who:
                             heard[who].append((member, params.unpack())))
    # The stranger also asks the bus for every signal of the helper's interface.
    stranger.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                       'AddMatch', GLib.Variant('(s)', (f"type='signal',interface='{HELPER}'",)),
                       None, Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)
    window = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def reported():
            return any(m == 'FocusedWindowChanged' and f'"pid":{window.pid},' in p[0]
                       for m, p in heard['ovra'])
        pump(40, reported)
        if not reported():
            fail(f'Ovra did not hear that the new window (pid {window.pid}) has the keyboard; '
                 f'it heard {heard["ovra"]}')
        print(f'ok: Ovra hears that the new window (pid {window.pid}) has the keyboard')
        pump(0.5)
        expect('the stranger hears nothing', heard['stranger'], [])
    finally:
        window.terminate()
        window.wait(5)
print('all checks passed')
