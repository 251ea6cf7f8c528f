#pragma once

#include "platform/clipboard_services.h"
#include "platform/linux/x11/x11_connection.h"

#include <QObject>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra::platform {

// Reads X selections from their owners on this program's own X connection, never on the UI's and
// never by blocking: the main thread runs on while an owner answers, and an owner that does not
// answer costs at most the deadline given. Each read converts into a window of its own, so reads
// may overlap and a late answer to an abandoned one reaches no one.
class X11SelectionReader final : public QObject {
    Q_OBJECT
public:
    // Largest transfer taken for one format; a larger one is left unread.
    static constexpr qsizetype maxFormatBytes = 64 * 1024 * 1024;

    explicit X11SelectionReader(X11Connection& connection);

    // Every format `selection` offers that could be read within `deadline`, all together, as one
    // item. Text comes as "text/plain" (UTF-8), the other formats under their MIME names; targets
    // that name no MIME type (TARGETS, TIMESTAMP, PIXMAP...) are not data and are left out.
    QCoro::Task<ClipboardReading> readAll(Atom selection, std::chrono::milliseconds deadline);
    // The text of `selection` (UTF8_STRING, else Latin-1 STRING) within `deadline`.
    QCoro::Task<std::optional<QString>> readText(Atom selection,
                                                 std::chrono::milliseconds deadline);

    X11Connection& connection() const { return m_connection; }

private:
    X11Connection& m_connection;
};

} // namespace ovra::platform
