#pragma once

#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_workspace_services.h"
#include "platform/synthetic_keys.h"

namespace ovra::platform {

// Types Ctrl+C / Ctrl+V (Ctrl+Shift+C / Ctrl+Shift+V in terminals, nothing in terminals that
// take neither) through the XTest extension, which the X server treats as real key presses. They go
// to whatever window has the keyboard, so they are sent only while the target process owns the
// active window, and only after the modifiers the user still holds (from the hot key, say) are let
// go: otherwise the application would see Ctrl+Alt+C.
class X11SyntheticKeys final : public SyntheticKeys {
public:
    X11SyntheticKeys(X11Connection& connection, X11WorkspaceServices& workspace);

    bool postCopyCommand(qint32 pid) override;
    bool postPasteCommand(qint32 pid) override;

private:
    bool postClipboardChord(qint32 pid, unsigned long keysym);

    X11Connection& m_connection;
    X11WorkspaceServices& m_workspace;
};

} // namespace ovra::platform
