#pragma once

#include "platform/linux/wayland/active_window.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace ovra::platform {

// Reads a compositor helper's report of the active window:
//   {"pid":N,"resourceClass":"…","client":[x,y,width,height],"frame":[x,y,width,height]}
// where "client" is the window's surface, the area its toolkit's own coordinates start in, and
// the optional "frame" the visible window (the shadow a toolkit draws in its surface left out);
// pid 0 when no window is active. The inner value is empty for "none"; the outer one for a
// malformed report. Decorations and shadows the toolkit draws inside the surface are left to the
// toolkit's own size and the frame to tell.
std::optional<std::optional<ActiveWindow>> parseActiveWindowReport(const QString& json);

// Takes a compositor helper's reports: each one into `store`, and `onChange` after each that
// names another process or window class.
class ActiveWindowReports {
public:
    ActiveWindowReports(std::shared_ptr<ActiveWindowStore> store,
                        std::function<void(qint32 pid)> onChange)
        : m_store(std::move(store)), m_onChange(std::move(onChange)) {}

    // False, with nothing changed, for a malformed report.
    bool take(const QString& json);
    // Whether any report came yet.
    bool heardAny() const { return m_lastPid != -1; }
    // As if none had come: a restarted compositor's helper has yet to prove it runs.
    void forgetHeard() { m_lastPid = -1; }

private:
    std::shared_ptr<ActiveWindowStore> m_store;
    std::function<void(qint32)> m_onChange;
    qint32 m_lastPid = -1;
    QString m_lastClass;
};

} // namespace ovra::platform
