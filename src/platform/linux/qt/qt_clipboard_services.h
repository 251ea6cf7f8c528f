#pragma once

#include "capture/clipboard_services.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_selection_reader.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>

class QClipboard;

namespace ovra::platform {

// The desktop clipboard: Qt's follows owner changes (XFixes on X11) and holds what this program
// offers; what other applications offer is read on this program's own X connection, bounded by
// readDeadline, because Qt's reads block the UI thread until the owner answers. X11 offers one
// item per selection: it holds every format offered.
class QtClipboardServices final : public QObject, public ClipboardServices {
    Q_OBJECT
public:
    // `connection` names the PRIMARY selection's owner; `windowPid` tells a window's process.
    QtClipboardServices(X11Connection* connection, std::function<qint32(Window)> windowPid);

    qint64 changeCount() override;
    QCoro::Task<ClipboardReading> readItems() override;
    QCoro::Task<std::optional<QString>> readString() override;

    void clearContents() override;
    void writeItems(const QList<ClipboardItem>& items) override;
    void setString(const QString& text) override;

    QCoro::Task<std::optional<PrimarySelection>> readPrimarySelection() override;

private:
    QClipboard* m_clipboard;
    X11Connection* m_connection;
    std::unique_ptr<X11SelectionReader> m_reader; // null without an X connection
    std::function<qint32(Window)> m_windowPid;
    qint64 m_changeCount = 0;
    QElapsedTimer m_primaryTaken; // since the last owner change of PRIMARY (XFixes, through Qt)
};

} // namespace ovra::platform
