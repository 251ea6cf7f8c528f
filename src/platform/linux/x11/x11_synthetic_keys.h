#pragma once

#include "capture/synthetic_keys.h"
#include "capture/workspace_services.h"
#include "platform/linux/x11/x11_connection.h"

namespace ovra::platform {

// Types Ctrl+C / Ctrl+V through the XTest extension, which the X server treats as real key
// presses. They go to whatever window has the keyboard, so they are sent only while the target
// process owns the active window, and only after the modifiers the user still holds (from the
// hot key, say) are let go: otherwise the application would see Ctrl+Alt+C.
class X11SyntheticKeys final : public SyntheticKeys {
public:
    X11SyntheticKeys(X11Connection& connection, WorkspaceServices& workspace);

    void postCopyCommand(qint32 pid) override;
    void postPasteCommand(qint32 pid) override;

private:
    void postControlChord(qint32 pid, unsigned long keysym);

    X11Connection& m_connection;
    WorkspaceServices& m_workspace;
};

} // namespace ovra::platform
