#!/usr/bin/python3
"""Checks the shortcut held by the desktop's GlobalShortcuts portal inside a running headless
desktop (run-wayland.sh --kde or --gnome, with xdg-desktop-portal 1.19.1 or later and the desktop's
backend): Ovra, installed as far as the portal can tell, names itself to the portal, binds its
panel's shortcut there, and a press of the bound key reaches it, while a key it did not bind does
not. On GNOME the desktop asks the user first; the check approves in that dialog.
  portal_shortcut_check.py OVRA_PROGRAM DESKTOP_FILE
Exits 1 at the first failed check."""
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import gi

gi.require_version('Atspi', '2.0')
gi.require_version('Gio', '2.0')
from gi.repository import Atspi, Gio, GLib  # noqa: E402

PORTAL = '/usr/libexec/xdg-desktop-portal'
CAPTURED = 'manual capture:'


def fail(message, log=None):
    print(f'FAIL: {message}', file=sys.stderr)
    if log:
        print('Ovra said:\n' + ''.join(log), file=sys.stderr)
    sys.exit(1)


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(name, path, interface, method, signature=None, args=None, timeout_ms=5000):
    return bus.call_sync(name, path, interface, method,
                         GLib.Variant(signature, args) if signature else None, None,
                         Gio.DBusCallFlags.NONE, timeout_ms, None).unpack()


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def portal_offers_shortcuts(portal_pid):
    try:
        owner = call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                     'GetConnectionUnixProcessID', '(s)', ('org.freedesktop.portal.Desktop',))[0]
        version = call('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop',
                       'org.freedesktop.DBus.Properties', 'Get', '(ss)',
                       ('org.freedesktop.portal.GlobalShortcuts', 'version'))[0]
        return owner == portal_pid and version >= 1
    except GLib.Error:
        return False


class OvraLog:
    """Ovra's diagnostics, read as they come."""

    def __init__(self, process):
        self.lines = []
        self.fresh = queue.Queue()
        threading.Thread(target=self.read, args=(process.stderr,), daemon=True).start()

    def read(self, stream):
        for line in stream:
            self.lines.append(line)
            self.fresh.put(line)

    def drain(self):
        while not self.fresh.empty():
            self.fresh.get_nowait()

    def wait_for(self, *texts, seconds):
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            try:
                line = self.fresh.get(timeout=left)
            except queue.Empty:
                break
            for text in texts:  # the first that matches counts
                if text in line:
                    return text
        return None


def approve_in_gnome_dialog():
    """Presses "Add" in the dialog GNOME's portal shows to approve an application's shortcuts."""

    def nodes(node, depth=0):
        if node is None or depth > 40:
            return
        yield node
        for i in range(node.get_child_count()):
            yield from nodes(node.get_child_at_index(i), depth + 1)

    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or 'global-shortcuts' not in (app.get_name() or ''):
            continue
        for node in nodes(app):
            if node.get_role() == Atspi.Role.BUTTON and node.get_name() == 'Add':
                return Atspi.Action.do_action(node, 0)
    return False


def press_in_gnome(letter):
    """Alt+Super+LETTER through mutter's remote desktop interface; its session lives as long as
    this connection."""
    remote = 'org.gnome.Mutter.RemoteDesktop'
    session = call(remote, '/org/gnome/Mutter/RemoteDesktop', remote, 'CreateSession')[0]
    call(remote, session, remote + '.Session', 'Start')
    keys = [0xffe9, 0xffeb, ord(letter)]  # Alt_L, Super_L
    for pressed, order in ((True, keys), (False, list(reversed(keys)))):
        for key in order:
            call(remote, session, remote + '.Session', 'NotifyKeyboardKeysym', '(ub)',
                 (key, pressed))
            time.sleep(0.05)
    call(remote, session, remote + '.Session', 'Stop')


def press_in_kde(app_id):
    """Checks that KDE's global shortcuts hold Super+Alt+T, Ovra's default, for its capture, then
    presses it the way the headless desktop allows: kglobalaccel invokes it, and the portal passes
    it on."""
    accel = ('org.kde.kglobalaccel', '/kglobalaccel', 'org.kde.KGlobalAccel')
    super_alt_t = 0x10000000 | 0x08000000 | 0x54  # Qt's Meta, Alt and T
    holder = call(*accel, 'action', '(i)', (super_alt_t,))[0]
    if holder[:2] != [app_id, 'capture']:
        fail(f'Super+Alt+T is held by {holder[:2]}, not by {app_id}')
    component = call(*accel, 'getComponent', '(s)', (app_id,))[0]
    call('org.kde.kglobalaccel', component, 'org.kde.kglobalaccel.Component', 'invokeShortcut',
         '(s)', ('capture',))


def main():
    program, desktop_file = os.path.abspath(sys.argv[1]), sys.argv[2]
    gnome = os.environ.get('XDG_CURRENT_DESKTOP') == 'GNOME'
    session_dir = os.environ['OVRA_E2E_SESSION_DIR']

    # Installed as far as the portal can tell: its desktop entry where the session's data is,
    # naming a program on the PATH.
    applications = os.path.join(os.environ['XDG_DATA_HOME'], 'applications')
    os.makedirs(applications, exist_ok=True)
    shutil.copy(desktop_file, applications)
    app_id = os.path.basename(desktop_file).removesuffix('.desktop')
    environment = dict(os.environ, PATH=os.path.dirname(program) + ':' + os.environ['PATH'])

    # The session's own portal was started by the bus before it knew the desktop, and offers no
    # shortcuts: one started now takes its place.
    portal = subprocess.Popen([PORTAL, '--replace'], env=environment, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    config = tempfile.mkdtemp(dir=session_dir)
    ovra = None
    try:
        if not wait_for(lambda: portal_offers_shortcuts(portal.pid), 15):
            fail('the desktop portal offers no GlobalShortcuts')
        os.makedirs(os.path.join(config, 'ovra'))
        with open(os.path.join(config, 'ovra', 'defaults.json'), 'w', encoding='utf-8') as f:
            json.dump({'didShowWelcome': True, 'suppressNoKeyWarning': True,
                       'didShowNoTrayNotice': True}, f)
        ovra = subprocess.Popen(['ovra', '--verbose'], env=dict(environment, XDG_CONFIG_HOME=config),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        log = OvraLog(ovra)
        if gnome and not wait_for(approve_in_gnome_dialog, 30):
            fail('GNOME asked for no approval of the shortcuts', log.lines)
        held = log.wait_for('holds no shortcut', 'the desktop portal holds', seconds=30)
        if held != 'the desktop portal holds':
            fail('the desktop portal does not hold the shortcuts', log.lines)

        if gnome:
            # A key nobody bound reaches no one; the bound one is Ovra's default, Super+Alt+T.
            log.drain()
            press_in_gnome('y')
            if log.wait_for(CAPTURED, seconds=2):
                fail('a key Ovra did not bind reached it', log.lines)
            press_in_gnome('t')
        else:
            press_in_kde(app_id)
        if not log.wait_for(CAPTURED, seconds=10):
            fail('the bound key did not reach Ovra', log.lines)
        print('the portal holds the shortcut and its key reaches Ovra')
    finally:
        for process in (ovra, portal):
            if process:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()


if __name__ == '__main__':
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    main()
