#include "platform/linux/x11/x11_synthetic_keys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace ovra::platform {

X11SyntheticKeys::X11SyntheticKeys(X11Connection& connection, WorkspaceServices& workspace)
    : m_connection(connection), m_workspace(workspace) {}

void X11SyntheticKeys::postCopyCommand(qint32 pid) {
    postControlChord(pid, XK_c);
}

void X11SyntheticKeys::postPasteCommand(qint32 pid) {
    postControlChord(pid, XK_v);
}

void X11SyntheticKeys::postControlChord(qint32 pid, unsigned long keysym) {
    if (pid <= 0)
        return;
    const auto frontmost = m_workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != pid)
        return;

    Display* display = m_connection.display();
    const ::KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const ::KeyCode key = XKeysymToKeycode(display, keysym);
    if (!control || !key)
        return;

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
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XFlush(display);
}

} // namespace ovra::platform
