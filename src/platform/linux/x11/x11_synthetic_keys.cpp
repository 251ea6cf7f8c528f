#include "platform/linux/x11/x11_synthetic_keys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace ovra::platform {

X11SyntheticKeys::X11SyntheticKeys(X11Connection& connection, X11WorkspaceServices& workspace)
    : m_connection(connection), m_workspace(workspace) {}

bool X11SyntheticKeys::postCopyCommand(qint32 pid) {
    return postClipboardChord(pid, XK_c);
}

bool X11SyntheticKeys::postPasteCommand(qint32 pid) {
    return postClipboardChord(pid, XK_v);
}

bool X11SyntheticKeys::postClipboardChord(qint32 pid, unsigned long keysym) {
    if (pid <= 0)
        return false;
    const auto frontmost = m_workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != pid)
        return false;
    const ClipboardChords chords = m_workspace.clipboardChordsOfActiveWindow();
    if (chords == ClipboardChords::none)
        return false;

    Display* display = m_connection.display();
    const ::KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const ::KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const ::KeyCode key = XKeysymToKeycode(display, keysym);
    const bool withShift = chords == ClipboardChords::controlShift;
    if (!control || !key || (withShift && !shift))
        return false;

    // Release every modifier key still down, except the locks (Caps Lock, Num Lock), whose
    // state is not a held key.
    XModifierKeymap* map = XGetModifierMapping(display);
    char keys[32] = {};
    XQueryKeymap(display, keys);
    if (map) {
        for (int modifier = 0; modifier < 8; ++modifier) {
            if (modifier == LockMapIndex || modifier == Mod2MapIndex)
                continue;
            for (int i = 0; i < map->max_keypermod; ++i) {
                const ::KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
                if (code && ((keys[code / 8] >> (code % 8)) & 1)) {
                    XTestFakeKeyEvent(display, code, False, CurrentTime);
                }
            }
        }
        XFreeModifiermap(map);
    }
    XTestFakeKeyEvent(display, control, True, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XFlush(display);
    return true;
}

} // namespace ovra::platform
