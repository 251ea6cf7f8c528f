// Ovra's helper inside GNOME Shell. A Wayland client cannot learn which window has the keyboard,
// where windows are, or take a global shortcut: the shell can. This extension tells Ovra the
// focused window, grabs the shortcut Ovra asks for, and tells when the gesture that changed a
// selection has ended (no button, Shift or Control held any more), which X11 shows every client.
//
// Only Ovra may use it: a method call is served only when it comes from the connection that owns
// Ovra's bus name, and the signals are sent to that connection alone. Otherwise any program of the
// session could grab keys from every application or follow which window the user works in.
//
// The body shared by the shell's two extension forms: the build wraps it with the imports of GNOME
// 45 and later (ES modules) and of GNOME 43 and 44 (`imports.gi`); `Gio`, `GLib`, `Meta`, `Shell`
// `Clutter` and `Main` come from there.

const BUS_NAME = 'app.ovra.Ovra.ShellHelper';
const OBJECT_PATH = '/app/ovra/Ovra/ShellHelper';
const INTERFACE_NAME = 'app.ovra.Ovra.ShellHelper';
const INTERFACE = `<node><interface name="${INTERFACE_NAME}">
  <method name="GetFocusedWindow"><arg type="s" direction="out"/></method>
  <method name="SetShortcut"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
  <signal name="FocusedWindowChanged"><arg type="s"/></signal>
  <signal name="ShortcutPressed"/>
  <method name="SetActionShortcut"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
  <signal name="ActionShortcutPressed"><arg type="s"/></signal>
  <method name="WaitForInputRelease"><arg type="b" direction="out"/></method>
</interface></node>`;
// The program's own bus name, held by its single running instance.
const OVRA_NAME = 'app.ovra.Ovra';
// The actions that may have a shortcut of their own besides the panel's.
const ACTION_NAMES = ['translate-replace', 'rephrase-replace', 'review-replace', 'translate',
    'summarize'];
// What a selecting gesture holds: a mouse button while dragging, Shift while extending with the
// keys, Control for Control+A and Control+Shift+arrows.
const SELECTING_MASK = Clutter.ModifierType.BUTTON1_MASK | Clutter.ModifierType.BUTTON2_MASK |
    Clutter.ModifierType.BUTTON3_MASK | Clutter.ModifierType.SHIFT_MASK |
    Clutter.ModifierType.CONTROL_MASK;
// How often a held gesture is looked at, and how long at most (a drag held longer gets no answer
// but false: Ovra then waits for the selection reports to settle, as without this helper).
const RELEASE_POLL_MS = 10;
const RELEASE_WAIT_MS = 3000;

// The window's process and, as [x, y, width, height], its surface (where its toolkit's own
// coordinates begin, client-side shadow included) and its visible frame.
function describe(window) {
    if (!window)
        return JSON.stringify({pid: 0});
    const surface = window.get_buffer_rect();
    const frame = window.get_frame_rect();
    return JSON.stringify({
        pid: window.get_pid(),
        resourceClass: window.get_gtk_application_id() || window.get_wm_class() || '',
        client: [surface.x, surface.y, surface.width, surface.height],
        frame: [frame.x, frame.y, frame.width, frame.height],
    });
}

// A shortcut of Ovra's notation ("<Control><Alt>t") holding Control, Alt or Super: the shell
// would otherwise take a plain or shifted key away from every application.
function holdsModifier(accelerator) {
    const match = /^((?:<[A-Za-z0-9]+>)+)([A-Za-z0-9_]+)$/.exec(accelerator);
    if (!match)
        return false;
    const modifiers = match[1].slice(1, -1).split('><').map(name => name.toLowerCase());
    const known = ['shift', 'control', 'ctrl', 'primary', 'alt', 'super'];
    return modifiers.every(name => known.includes(name)) &&
        modifiers.some(name => name !== 'shift');
}

// Grabs `accelerator` desktop-wide for the shell's normal mode and overview; NONE for "", for one
// without Control, Alt or Super, or when the shell refuses it.
function grabAccelerator(accelerator) {
    if (!accelerator || !holdsModifier(accelerator))
        return Meta.KeyBindingAction.NONE;
    const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
    if (action !== Meta.KeyBindingAction.NONE)
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
            Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW);
    return action;
}

// Gives back what grabAccelerator took; nothing for NONE.
function releaseGrab(action) {
    if (action === Meta.KeyBindingAction.NONE)
        return;
    global.display.ungrab_accelerator(action);
    Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.NONE);
}

class Helper {
    constructor() {
        this._window = null;
        this._windowSignals = [];
        this._action = Meta.KeyBindingAction.NONE;
        this._ovra = null; // the unique name of the connection owning OVRA_NAME
        this._actions = new Map(); // action name → its grabbed accelerator's action
        this._releaseWaits = new Map(); // GLib source id → the answer its wait gives when cut short
    }

    enable() {
        this._bus = Gio.DBus.session;
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(this._bus, OBJECT_PATH);
        this._owner = Gio.bus_own_name_on_connection(this._bus, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._ovraWatch = Gio.bus_watch_name_on_connection(this._bus, OVRA_NAME,
            Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => this._ovraChanged(owner),
            () => this._ovraChanged(null));
        this._focusSignal = global.display.connect('notify::focus-window', () => this._follow());
        this._acceleratorSignal = global.display.connect('accelerator-activated',
            (display, action) => {
                if (action === this._action)
                    this._signal('ShortcutPressed', null);
                for (const [name, grabbed] of this._actions) {
                    if (action === grabbed)
                        this._signal('ActionShortcutPressed', new GLib.Variant('(s)', [name]));
                }
            });
        this._follow();
    }

    disable() {
        this._setShortcut('');
        this._releaseActions();
        for (const [source, answer] of this._releaseWaits) {
            GLib.source_remove(source);
            answer(false);
        }
        this._releaseWaits.clear();
        global.display.disconnect(this._acceleratorSignal);
        global.display.disconnect(this._focusSignal);
        this._watch(null);
        Gio.bus_unwatch_name(this._ovraWatch);
        Gio.bus_unown_name(this._owner);
        this._object.unexport();
        this._object = null;
        this._ovra = null;
    }

    GetFocusedWindowAsync(parameters, invocation) {
        this._serveOvra(invocation, () => new GLib.Variant('(s)', [describe(this._window)]));
    }

    SetShortcutAsync([accelerator], invocation) {
        this._serveOvra(invocation,
            () => new GLib.Variant('(b)', [this._setShortcut(accelerator)]));
    }

    SetActionShortcutAsync([name, accelerator], invocation) {
        this._serveOvra(invocation,
            () => new GLib.Variant('(b)', [this._setActionShortcut(name, accelerator)]));
    }

    // Answers true once nothing that selects is held any more (at once when nothing is), false
    // after RELEASE_WAIT_MS. Polled, and only while Ovra waits: the shell has no signal for a
    // button released over a client's surface.
    WaitForInputReleaseAsync(parameters, invocation) {
        this._serveOvra(invocation, () => new Promise(resolve => {
            const answer = released => resolve(new GLib.Variant('(b)', [released]));
            const released = () => (global.get_pointer()[2] & SELECTING_MASK) === 0;
            if (released()) {
                answer(true);
                return;
            }
            const started = GLib.get_monotonic_time();
            const source = GLib.timeout_add(GLib.PRIORITY_DEFAULT, RELEASE_POLL_MS, () => {
                const done = released();
                if (!done && GLib.get_monotonic_time() - started < RELEASE_WAIT_MS * 1000)
                    return GLib.SOURCE_CONTINUE;
                this._releaseWaits.delete(source);
                answer(done);
                return GLib.SOURCE_REMOVE;
            });
            this._releaseWaits.set(source, answer);
        }));
    }

    // Answers `invocation` with `reply()` (a value, or a promise of one) when it comes from Ovra,
    // else refuses it. The name's
    // owner is followed by a watch; a caller that is not the owner known here is checked with the
    // bus once more, as a call may overtake the watch's news of a new owner.
    _serveOvra(invocation, reply) {
        const sender = invocation.get_sender();
        const answer = fromOvra => {
            if (!this._object) {
                // Turned off while the bus was asked: nothing may be grabbed any more.
                invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed',
                    'The shell helper is off');
            } else if (fromOvra) {
                Promise.resolve(reply()).then(value => invocation.return_value(value));
            } else {
                invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                    'Only Ovra may use its shell helper');
            }
        };
        if (sender && sender === this._ovra) {
            answer(true);
            return;
        }
        this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetNameOwner', new GLib.Variant('(s)', [OVRA_NAME]), new GLib.VariantType('(s)'),
            Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                let owner = null;
                try {
                    [owner] = bus.call_finish(result).deepUnpack();
                } catch (e) {
                    // No owner: Ovra is not running.
                }
                const fromOvra = !!sender && sender === owner;
                if (fromOvra && this._object)
                    this._ovraChanged(owner);
                answer(fromOvra);
            });
    }

    _ovraChanged(owner) {
        if (owner === this._ovra)
            return;
        // A shortcut grabbed for an instance that has gone would keep its keys from every
        // application; the next instance asks again.
        this._setShortcut('');
        this._releaseActions();
        this._ovra = owner;
    }

    // Sends a signal to Ovra alone.
    _signal(name, parameters) {
        if (!this._object || !this._ovra)
            return;
        try {
            this._bus.emit_signal(this._ovra, OBJECT_PATH, INTERFACE_NAME, name, parameters);
        } catch (e) {
            // Ovra left between the watch's last news and now.
        }
    }

    // Grabs `accelerator` ("<Alt><Super>t"; "" releases it) in place of the one held; false when
    // it holds no Control, Alt or Super, or the shell refuses it.
    _setShortcut(accelerator) {
        releaseGrab(this._action);
        this._action = grabAccelerator(accelerator);
        return !accelerator || this._action !== Meta.KeyBindingAction.NONE;
    }

    // An action's own shortcut, as _setShortcut does the panel's; only the known actions have one.
    _setActionShortcut(name, accelerator) {
        if (!ACTION_NAMES.includes(name))
            return false;
        releaseGrab(this._actions.get(name) ?? Meta.KeyBindingAction.NONE);
        this._actions.delete(name);
        const action = grabAccelerator(accelerator);
        if (action !== Meta.KeyBindingAction.NONE)
            this._actions.set(name, action);
        return !accelerator || action !== Meta.KeyBindingAction.NONE;
    }

    _releaseActions() {
        for (const name of [...this._actions.keys()])
            this._setActionShortcut(name, '');
    }

    _follow() {
        this._watch(global.display.focus_window);
        this._report();
    }

    _watch(window) {
        for (const id of this._windowSignals)
            this._window.disconnect(id);
        this._windowSignals = [];
        this._window = window;
        if (window) {
            this._windowSignals = [
                window.connect('position-changed', () => this._report()),
                window.connect('size-changed', () => this._report()),
                window.connect('unmanaged', () => this._watch(null)),
            ];
        }
    }

    _report() {
        this._signal('FocusedWindowChanged', new GLib.Variant('(s)', [describe(this._window)]));
    }
}
