#include "platform/linux/qt/qt_clipboard_services.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace ovra::platform {

QtClipboardServices::QtClipboardServices(X11Connection* connection,
                                         std::function<qint32(Window)> windowPid)
    : m_clipboard(QGuiApplication::clipboard()), m_connection(connection),
      m_windowPid(std::move(windowPid)) {
    connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++m_changeCount;
        else if (mode == QClipboard::Selection)
            m_primaryTaken.restart();
    });
}

qint64 QtClipboardServices::changeCount() {
    return m_changeCount;
}

int QtClipboardServices::itemCount() {
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Clipboard);
    return content && !content->formats().isEmpty() ? 1 : 0;
}

QStringList QtClipboardServices::types(int index) {
    if (index != 0)
        return {};
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Clipboard);
    return content ? content->formats() : QStringList();
}

std::optional<QByteArray> QtClipboardServices::data(int index, const QString& type) {
    if (index != 0)
        return std::nullopt;
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!content || !content->hasFormat(type))
        return std::nullopt;
    return content->data(type);
}

std::optional<QString> QtClipboardServices::string() {
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!content || !content->hasText())
        return std::nullopt;
    return content->text();
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

std::optional<PrimarySelection> QtClipboardServices::primarySelection() {
    if (!m_clipboard->supportsSelection())
        return std::nullopt;
    const QMimeData* content = m_clipboard->mimeData(QClipboard::Selection);
    if (!content || !content->hasText())
        return std::nullopt;
    PrimarySelection selection;
    selection.text = content->text();
    if (m_primaryTaken.isValid())
        selection.age = std::chrono::milliseconds(m_primaryTaken.elapsed());
    if (m_clipboard->ownsSelection()) {
        selection.ownerPid = static_cast<qint32>(::getpid());
    } else if (m_connection && m_windowPid) {
        const Window owner = XGetSelectionOwner(m_connection->display(), XA_PRIMARY);
        selection.ownerPid = owner ? m_windowPid(owner) : 0;
    }
    return selection;
}

} // namespace ovra::platform
