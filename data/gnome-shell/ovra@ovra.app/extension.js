// Ovra's helper inside GNOME Shell. A Wayland client cannot learn which window has the keyboard,
// where windows are, or take a global shortcut: the shell can. This extension publishes the
// focused window on the session bus, and grabs the shortcut Ovra asks for.
const { Gio, GLib, Meta, Shell } = imports.gi;
const Main = imports.ui.main;

const BUS_NAME = 'app.ovra.Ovra.ShellHelper';
const OBJECT_PATH = '/app/ovra/Ovra/ShellHelper';
const INTERFACE = `<node><interface name="app.ovra.Ovra.ShellHelper">
  <method name="GetFocusedWindow"><arg type="s" direction="out"/></method>
  <method name="SetShortcut"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
  <signal name="FocusedWindowChanged"><arg type="s"/></signal>
  <signal name="ShortcutPressed"/>
</interface></node>`;

// The window's process and, as [x, y, width, height], its surface (where its toolkit's own
// coordinates begin, client-side shadow included) and its visible frame.
function describe(window) {
    if (!window)
        return JSON.stringify({ pid: 0 });
    const surface = window.get_buffer_rect();
    const frame = window.get_frame_rect();
    return JSON.stringify({
        pid: window.get_pid(),
        resourceClass: window.get_gtk_application_id() || window.get_wm_class() || '',
        client: [surface.x, surface.y, surface.width, surface.height],
        frame: [frame.x, frame.y, frame.width, frame.height],
    });
}

class Helper {
    constructor() {
        this._window = null;
        this._windowSignals = [];
        this._action = Meta.KeyBindingAction.NONE;
    }

    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._owner = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._focusSignal = global.display.connect('notify::focus-window', () => this._follow());
        this._acceleratorSignal = global.display.connect('accelerator-activated',
            (display, action) => {
                if (action === this._action)
                    this._object.emit_signal('ShortcutPressed', null);
            });
        this._follow();
    }

    disable() {
        this.SetShortcut('');
        global.display.disconnect(this._acceleratorSignal);
        global.display.disconnect(this._focusSignal);
        this._watch(null);
        Gio.bus_unown_name(this._owner);
        this._object.unexport();
        this._object = null;
    }

    GetFocusedWindow() {
        return describe(this._window);
    }

    // Grabs `accelerator` ("<Alt><Super>t"; "" releases it) in place of the one held; false when
    // the shell refuses it.
    SetShortcut(accelerator) {
        if (this._action !== Meta.KeyBindingAction.NONE) {
            global.display.ungrab_accelerator(this._action);
            Main.wm.allowKeybinding(Meta.external_binding_name_for_action(this._action),
                Shell.ActionMode.NONE);
            this._action = Meta.KeyBindingAction.NONE;
        }
        if (!accelerator)
            return true;
        const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
        if (action === Meta.KeyBindingAction.NONE)
            return false;
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
            Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW);
        this._action = action;
        return true;
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
        if (this._object) {
            this._object.emit_signal('FocusedWindowChanged',
                new GLib.Variant('(s)', [describe(this._window)]));
        }
    }
}

function init() {
    return new Helper();
}
