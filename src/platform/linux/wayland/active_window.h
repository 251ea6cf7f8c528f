#pragma once

#include "platform/window_area.h"

#include <QMutex>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace ovra::platform {

// The window that has the keyboard in a Wayland session, as the compositor reports it: its
// process, and where on screen the surface its toolkit places text in begins.
struct ActiveWindow {
    qint32 pid = 0;
    QString resourceClass;
    // The surface's area (its clientSideBorder says where the toolkit's own begins); nothing when
    // the compositor does not say.
    std::optional<WindowArea> area;

    bool operator==(const ActiveWindow&) const = default;
};

// The compositor's last report of the active window, written where the report arrives (the UI
// thread) and read on the accessibility thread to place text on screen.
class ActiveWindowStore {
public:
    void set(std::optional<ActiveWindow> window) {
        const QMutexLocker lock(&m_mutex);
        m_window = std::move(window);
    }
    std::optional<ActiveWindow> get() const {
        const QMutexLocker lock(&m_mutex);
        return m_window;
    }
    // Where process `pid`'s window is, while it is the active one: a selection is made in the
    // window that has the keyboard.
    std::optional<WindowArea> areaOf(qint32 pid) const {
        const QMutexLocker lock(&m_mutex);
        if (!m_window || pid == 0 || m_window->pid != pid)
            return std::nullopt;
        return m_window->area;
    }

private:
    mutable QMutex m_mutex;
    std::optional<ActiveWindow> m_window;
};

} // namespace ovra::platform
