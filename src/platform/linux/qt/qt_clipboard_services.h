#pragma once

#include "platform/clipboard_services.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_selection_reader.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>

class QClipboard;

namespace ovra::platform {

// The desktop clipboard: Qt's follows owner changes (XFixes on X11) and holds what this program
// offers; what other applications offer is read on this program's own X connection, bounded by
// readDeadline, because Qt's reads block the UI thread until the owner answers. X11 offers one
// item per selection: it holds every format offered. While this program offers the clipboard,
// Qt answers the other applications' requests for it; a filter on Qt's X events sees each
// request first, which tells when a paste target has read what was put there.
class QtClipboardServices final : public QObject,
                                  public ClipboardServices,
                                  private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // How long the pasted content stays once its reader has read it: a reader may check that the
    // clipboard did not change until its paste is done.
    static constexpr std::chrono::milliseconds readSettle{300};

    // `connection` names the PRIMARY selection's owner; `windowPid` tells a window's process.
    QtClipboardServices(X11Connection* connection, std::function<qint32(Window)> windowPid);
    ~QtClipboardServices() override;

    qint64 changeCount() override;
    QCoro::Task<ClipboardReading> readItems() override;
    QCoro::Task<std::optional<QString>> readString() override;

    void clearContents() override;
    void writeItems(const QList<ClipboardItem>& items) override;
    void setString(const QString& text) override;

    QCoro::Task<bool> waitUntilRead(qint32 readerPid, std::chrono::milliseconds deadline) override;
    QCoro::Task<std::optional<PrimarySelection>> readPrimarySelection() override;

Q_SIGNALS:
    // Another application's request for the data of our clipboard offer has been answered;
    // `requestorPid` is 0 when its process is unknown.
    void contentRead(qint32 requestorPid);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    QClipboard* m_clipboard;
    X11Connection* m_connection;
    std::unique_ptr<X11SelectionReader> m_reader; // null without an X connection
    std::function<qint32(Window)> m_windowPid;
    qint64 m_changeCount = 0;
    QElapsedTimer m_primaryTaken; // since the last owner change of PRIMARY (XFixes, through Qt)
};

} // namespace ovra::platform
