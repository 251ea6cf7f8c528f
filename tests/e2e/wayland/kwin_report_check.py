#!/usr/bin/python3
"""Checks Ovra's KWin script inside a running headless KWin (run-wayland.sh --kde): loaded the way
the program loads it, it reports the active window's process to the receiver it names, from KWin's
own connection.
  kwin_report_check.py SOURCE_FILE WINDOW_COMMAND...
SOURCE_FILE is src/platform/linux/wayland/kwin_active_window.cpp (the script is taken from it);
WINDOW_COMMAND opens a window that becomes active. Exits 1 at the first failed check."""
import os
import re
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

PATH = '/org/ovra/ActiveWindow'
INTERFACE = 'org.ovra.ActiveWindowReports'


def fail(message):
    print(f'FAIL: {message}', file=sys.stderr)
    sys.exit(1)


def call(bus, name, path, interface, method, signature=None, args=None):
    return bus.call_sync(name, path, interface, method,
                         GLib.Variant(signature, args) if signature else None, None,
                         Gio.DBusCallFlags.NONE, 5000, None).unpack()


source = open(sys.argv[1], encoding='utf-8').read()
script = re.search(r'R"js\((.*?)\)js"', source, re.S).group(1)
bus = Gio.DBusConnection.new_for_address_sync(
    os.environ['DBUS_SESSION_BUS_ADDRESS'],
    Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
    None, None)
reports = []


def on_call(_bus, sender, _path, _interface, method, params, invocation):
    reports.append((sender, method, params.unpack()[0]))
    invocation.return_value(None)


node = Gio.DBusNodeInfo.new_for_xml(
    f'<node><interface name="{INTERFACE}"><method name="Report">'
    '<arg type="s" direction="in"/></method></interface></node>')
bus.register_object(PATH, node.interfaces[0], on_call, None, None)

kwin = call(bus, 'org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetNameOwner', '(s)', ('org.kde.KWin',))[0]
with tempfile.NamedTemporaryFile('w', suffix='.js', delete=False) as file:
    file.write(script.replace('%1', bus.get_unique_name()).replace('%2', PATH))
loaded = call(bus, 'org.kde.KWin', '/Scripting', 'org.kde.kwin.Scripting', 'loadScript', '(ss)',
              (file.name, f'ovra-check-{os.getpid()}'))[0]
if loaded < 0:
    fail(f'KWin did not load the script ({loaded})')
call(bus, 'org.kde.KWin', '/Scripting', 'org.kde.kwin.Scripting', 'start')
print(f'ok: KWin loaded the script as {loaded}')

window = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    context = GLib.MainContext.default()
    deadline = time.monotonic() + 20

    def reported():
        return [r for r in reports if f'"pid":{window.pid},' in r[2]]
    while time.monotonic() < deadline and not reported():
        context.iteration(False)
        time.sleep(0.01)
    if not reports:
        fail('no report arrived')
    if not reported():
        fail(f'no report names the new window (pid {window.pid}): {reports}')
    sender, method, json = reported()[0]
    print(f'ok: the active window is reported: {json}')
    if sender != kwin:
        fail(f'the report came from {sender}, not from KWin ({kwin})')
    print('ok: the report came from KWin\'s own connection')
finally:
    window.terminate()
    window.wait(5)
    os.unlink(file.name)
print('all checks passed')
