#pragma once

#include "capture/clipboard_services.h"
#include "platform/linux/x11/x11_connection.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QClipboard;

namespace ovra::platform {

// The desktop clipboard through Qt's, which follows owner changes (XFixes on X11) and reads
// every format on request. X11 offers one item per selection: it holds every format offered.
class QtClipboardServices final : public QObject, public ClipboardServices {
    Q_OBJECT
public:
    // `connection` names the PRIMARY selection's owner; `windowPid` tells a window's process.
    QtClipboardServices(X11Connection* connection, std::function<qint32(Window)> windowPid);

    qint64 changeCount() override;
    int itemCount() override;
    QStringList types(int index) override;
    std::optional<QByteArray> data(int index, const QString& type) override;
    std::optional<QString> string() override;

    void clearContents() override;
    void writeItems(const QList<ClipboardItem>& items) override;
    void setString(const QString& text) override;

    std::optional<PrimarySelection> primarySelection() override;

private:
    QClipboard* m_clipboard;
    X11Connection* m_connection;
    std::function<qint32(Window)> m_windowPid;
    qint64 m_changeCount = 0;
    QElapsedTimer m_primaryTaken; // since the last owner change of PRIMARY (XFixes, through Qt)
};

} // namespace ovra::platform
