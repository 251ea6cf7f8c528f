#include "platform/linux/qt/qt_clipboard_services.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <algorithm>
#include <qcoro/qcorosignal.h>
#include <qcoro/qcorotimer.h>
#include <unistd.h>
#include <xcb/xproto.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace ovra::platform {

namespace {

// What Qt holds for a selection this program offers, as one item.
ClipboardReading readingOf(const QMimeData* content) {
    ClipboardReading reading;
    if (!content || content->formats().isEmpty())
        return reading;
    ClipboardItem item;
    const QStringList formats = content->formats();
    for (const QString& type : formats)
        item.representations.append({type, content->data(type)});
    reading.items.append(std::move(item));
    return reading;
}

std::optional<QString> textOf(const QMimeData* content) {
    if (!content || !content->hasText())
        return std::nullopt;
    return content->text();
}

} // namespace

QtClipboardServices::QtClipboardServices(X11Connection* connection,
                                         std::function<qint32(Window)> windowPid)
    : m_clipboard(QGuiApplication::clipboard()), m_connection(connection),
      m_windowPid(std::move(windowPid)) {
    if (m_connection)
        m_reader = std::make_unique<X11SelectionReader>(*m_connection);
    connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++m_changeCount;
        else if (mode == QClipboard::Selection)
            m_primaryTaken.restart();
    });
    if (m_connection)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

QtClipboardServices::~QtClipboardServices() {
    if (m_connection && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool QtClipboardServices::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
    if (request->selection != m_connection->atom("CLIPBOARD") || !m_clipboard->ownsClipboard())
        return false;
    // Only a request for data we hold is a read. The list of formats is asked by anyone looking
    // (clipboard managers, paste menus), and a toolkit tries its own formats first (GTK's text
    // view asks for GTK_TEXT_BUFFER_CONTENTS), which are refused.
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!content)
        return false;
    // Compared as atoms, which the connection keeps once interned: naming the requested atom
    // would ask the X server on every request.
    const auto asks = [&](const QString& format) {
        return Atom(request->target) == m_connection->atom(format.toLatin1().constData());
    };
    static const QStringList textTargets{QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                                         QStringLiteral("TEXT"), QStringLiteral("COMPOUND_TEXT")};
    const QStringList formats = content->formats();
    const bool held =
        std::any_of(formats.begin(), formats.end(), asks) ||
        (content->hasText() && std::any_of(textTargets.begin(), textTargets.end(), asks));
    if (!held)
        return false;
    const qint32 pid = m_windowPid ? m_windowPid(Window(request->requestor)) : 0;
    // Told on the next turn of the loop, once Qt has answered the request: what happens then (the
    // user's clipboard put back) cannot overtake the answer.
    QTimer::singleShot(0, this, [this, pid] { Q_EMIT contentRead(pid); });
    return false;
}

QCoro::Task<bool> QtClipboardServices::waitUntilRead(qint32 readerPid,
                                                     std::chrono::milliseconds deadline) {
    if (!m_connection)
        co_return false; // no requests to see
    const QDeadlineTimer until(deadline);
    while (!until.hasExpired()) {
        const auto left = std::chrono::milliseconds(std::max<qint64>(1, until.remainingTime()));
        const std::optional<qint32> requestor =
            co_await qCoro(this, &QtClipboardServices::contentRead, left);
        if (!requestor)
            co_return false;
        // A clipboard manager copying our offer into its history is not the paste.
        if (*requestor == 0 || *requestor == readerPid) {
            // The reader may still be inside its paste: Chromium drops a paste when the
            // clipboard changes between its read and the insert, so the content stays a little.
            co_await QCoro::sleepFor(readSettle);
            co_return true;
        }
    }
    co_return false;
}

qint64 QtClipboardServices::changeCount() {
    return m_changeCount;
}

QCoro::Task<ClipboardReading> QtClipboardServices::readItems() {
    if (m_reader && !m_clipboard->ownsClipboard()) {
        ClipboardReading reading =
            co_await m_reader->readAll(m_connection->atom("CLIPBOARD"), readDeadline);
        co_return reading;
    }
    // Our own offer: Qt holds the data. (Without an X connection Qt asks the owner itself.)
    co_return readingOf(m_clipboard->mimeData(QClipboard::Clipboard));
}

QCoro::Task<std::optional<QString>> QtClipboardServices::readString() {
    if (m_reader && !m_clipboard->ownsClipboard()) {
        std::optional<QString> text =
            co_await m_reader->readText(m_connection->atom("CLIPBOARD"), readDeadline);
        co_return text;
    }
    co_return textOf(m_clipboard->mimeData(QClipboard::Clipboard));
}

void QtClipboardServices::clearContents() {
    // An empty offer of our own, so the owner change is ours and a later write is seen as one.
    m_clipboard->setMimeData(new QMimeData, QClipboard::Clipboard);
    ++m_changeCount;
}

void QtClipboardServices::writeItems(const QList<ClipboardItem>& items) {
    auto* content = new QMimeData;
    // One selection holds one item: the first offer of a format wins.
    for (const ClipboardItem& item : items) {
        for (const auto& [type, bytes] : item.representations) {
            if (!content->hasFormat(type))
                content->setData(type, bytes);
        }
    }
    // Qt offers X11's text targets (UTF8_STRING, STRING) for "text/plain" only; without them
    // most applications could not paste the text.
    const QString plain = QStringLiteral("text/plain");
    if (!content->hasFormat(plain) && content->hasFormat(ClipboardTypes::plainText)) {
        content->setData(plain, content->data(ClipboardTypes::plainText));
    }
    m_clipboard->setMimeData(content, QClipboard::Clipboard);
    ++m_changeCount;
}

void QtClipboardServices::setString(const QString& text) {
    m_clipboard->setText(text, QClipboard::Clipboard);
    ++m_changeCount;
}

QCoro::Task<std::optional<PrimarySelection>> QtClipboardServices::readPrimarySelection() {
    if (!m_clipboard->supportsSelection())
        co_return std::nullopt;
    PrimarySelection selection;
    if (m_primaryTaken.isValid())
        selection.age = std::chrono::milliseconds(m_primaryTaken.elapsed());
    std::optional<QString> text;
    if (m_clipboard->ownsSelection()) {
        selection.ownerPid = static_cast<qint32>(::getpid());
        text = textOf(m_clipboard->mimeData(QClipboard::Selection));
    } else if (m_reader) {
        // The owner is named before its text is asked for, so both belong to the same owner
        // unless it changes within the read, which the age then shows.
        const Window owner = XGetSelectionOwner(m_connection->display(), XA_PRIMARY);
        if (owner == None)
            co_return std::nullopt;
        selection.ownerPid = m_windowPid ? m_windowPid(owner) : 0;
        text = co_await m_reader->readText(XA_PRIMARY, readDeadline);
    } else {
        text = textOf(m_clipboard->mimeData(QClipboard::Selection));
    }
    if (!text)
        co_return std::nullopt;
    selection.text = std::move(*text);
    co_return selection;
}

} // namespace ovra::platform
