// For Ovra's end-to-end tests in a headless GNOME Shell: where every window is, which one has the
// keyboard, and activation of a process's window, on the session bus as app.ovra.E2eWindows.
// The build wraps this body into the extension forms of GNOME 43-44 and 45 and later.

const INTERFACE = `<node><interface name="app.ovra.E2eWindows">
  <method name="ListWindows"><arg type="s" direction="out"/></method>
  <method name="Activate"><arg type="i" direction="in"/><arg type="b" direction="out"/></method>
</interface></node>`;

const windows = () => global.get_window_actors().map(actor => actor.get_meta_window());

class E2eWindows {
    ListWindows() {
        const focus = global.display.focus_window;
        return JSON.stringify(windows().map(w => {
            const f = w.get_frame_rect(), b = w.get_buffer_rect();
            return { pid: w.get_pid(), caption: w.get_title() || '', active: w === focus,
                     frame: [f.x, f.y, f.width, f.height], surface: [b.x, b.y, b.width, b.height] };
        }));
    }

    Activate(pid) {
        const window = windows().find(w => w.get_pid() === pid);
        if (!window)
            return false;
        window.activate(global.get_current_time());
        return true;
    }
}

class Helper {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, new E2eWindows());
        this._object.export(Gio.DBus.session, '/app/ovra/E2eWindows');
        this._owner = Gio.bus_own_name_on_connection(Gio.DBus.session, 'app.ovra.E2eWindows',
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._owner);
        this._object.unexport();
        this._object = null;
    }
}
