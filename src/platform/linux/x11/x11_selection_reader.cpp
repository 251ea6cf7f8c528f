#include "platform/linux/x11/x11_selection_reader.h"

#include "support/logging.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>
#include <coroutine>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

OVRA_LOGGING_CATEGORY("ovra.platform.x11");

namespace ovra::platform {

namespace {

using std::chrono::milliseconds;

// What an owner put in the property for one conversion.
struct Converted {
    Atom type = 0;
    QByteArray bytes; // 32-bit items packed as 32 bits, whatever Xlib's long is
};

// Targets that describe the selection or ask the owner to act rather than give data.
bool isDataTarget(const QByteArray& name) {
    static const QByteArray notData[] = {
        "TARGETS",          "MULTIPLE",        "TIMESTAMP", "SAVE_TARGETS",  "DELETE",
        "INSERT_SELECTION", "INSERT_PROPERTY", "TEXT",      "COMPOUND_TEXT", "C_STRING",
        "PIXMAP",           "BITMAP",          "DRAWABLE",  "COLORMAP",      "INCR"};
    return !name.isEmpty() &&
           std::find(std::begin(notData), std::end(notData), name) == std::end(notData);
}

// One read of one selection: a window of its own that receives the conversions, and the
// deadline they all share.
class SelectionTransfer {
public:
    SelectionTransfer(X11SelectionReader& reader, Atom selection, milliseconds deadline)
        : m_x11(reader.connection()), m_selection(selection), m_deadline(deadline) {
        XSetWindowAttributes attributes{};
        attributes.event_mask = PropertyChangeMask;
        attributes.override_redirect = True;
        m_window =
            XCreateWindow(m_x11.display(), m_x11.root(), -10, -10, 1, 1, 0, CopyFromParent,
                          InputOnly, CopyFromParent, CWEventMask | CWOverrideRedirect, &attributes);
        m_incr = m_x11.atom("INCR");
        m_listener = m_x11.addListener([this](XEvent& event) { queue(event); });
        // The wake-up ends with the transfer, whose member is its context.
        QTimer::singleShot(deadline + milliseconds(1), &m_lifetime, [this] { wake(); });
    }

    ~SelectionTransfer() {
        m_x11.removeListener(m_listener);
        XDestroyWindow(m_x11.display(), m_window);
        XFlush(m_x11.display());
    }

    SelectionTransfer(const SelectionTransfer&) = delete;
    SelectionTransfer& operator=(const SelectionTransfer&) = delete;

    bool timedOut() const { return m_deadline.hasExpired(); }

    // The selection converted to `target`; nothing when the owner refused, the data was too
    // large or the deadline passed (timedOut() tells which).
    QCoro::Task<std::optional<Converted>> convert(Atom target) {
        // A property of its own per conversion: an abandoned transfer cannot write into the next.
        const QByteArray propertyName = "OVRA_SELECTION_" + QByteArray::number(m_conversions++);
        m_property = m_x11.atom(propertyName.constData());
        XConvertSelection(m_x11.display(), m_selection, target, m_property, m_window, CurrentTime);
        XFlush(m_x11.display());
        for (;;) {
            const std::optional<XEvent> event = co_await nextEvent();
            if (!event)
                co_return std::nullopt;
            if (event->type != SelectionNotify || event->xselection.target != target)
                continue;
            if (event->xselection.property == None)
                co_return std::nullopt; // refused
            break;
        }
        std::optional<Converted> whole = takeProperty();
        if (!whole || whole->type != m_incr)
            co_return whole;
        // Incremental: deleting the INCR property asked for the first chunk; an empty one ends.
        Converted joined;
        for (;;) {
            const std::optional<XEvent> event = co_await nextEvent();
            if (!event)
                co_return std::nullopt;
            if (event->type != PropertyNotify)
                continue;
            std::optional<Converted> chunk = takeProperty();
            if (!chunk ||
                joined.bytes.size() + chunk->bytes.size() > X11SelectionReader::maxFormatBytes)
                co_return std::nullopt;
            if (chunk->bytes.isEmpty())
                co_return joined;
            joined.type = chunk->type;
            joined.bytes += chunk->bytes;
        }
    }

private:
    void queue(const XEvent& event) {
        const bool forUs =
            (event.type == SelectionNotify && event.xselection.requestor == m_window &&
             event.xselection.selection == m_selection) ||
            (event.type == PropertyNotify && event.xproperty.window == m_window &&
             event.xproperty.atom == m_property && event.xproperty.state == PropertyNewValue);
        if (!forUs)
            return;
        m_events.push_back(event);
        wake();
    }

    // Resumes the waiting coroutine, which may end the transfer: nothing of it is touched after.
    void wake() {
        if (m_waiting)
            std::exchange(m_waiting, {}).resume();
    }

    // Suspends until an event is queued or the deadline passes. Resumed directly from the
    // connection's dispatch or the deadline's timer (Qt's queued signal delivery could resume a
    // coroutine that has already moved on).
    struct Wait {
        SelectionTransfer& transfer;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting) noexcept {
            transfer.m_waiting = waiting;
        }
        void await_resume() const noexcept {}
    };

    QCoro::Task<std::optional<XEvent>> nextEvent() {
        while (m_events.empty()) {
            if (m_deadline.hasExpired())
                co_return std::nullopt;
            co_await Wait{*this};
        }
        const XEvent event = m_events.front();
        m_events.pop_front();
        co_return event;
    }

    // Reads and deletes the property (the deletion is what an incremental owner waits for).
    std::optional<Converted> takeProperty() {
        Display* display = m_x11.display();
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, m_window, m_property, 0,
                               X11SelectionReader::maxFormatBytes / 4, True, AnyPropertyType, &type,
                               &format, &count, &after, &data) != Success)
            return std::nullopt;
        Converted converted{type, {}};
        if (data && format == 32) {
            // Xlib hands 32-bit items as longs.
            const auto* items = reinterpret_cast<const long*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                const auto item = static_cast<quint32>(items[i]);
                converted.bytes.append(reinterpret_cast<const char*>(&item), sizeof item);
            }
        } else if (data) {
            converted.bytes = QByteArray(reinterpret_cast<const char*>(data),
                                         static_cast<qsizetype>(count * (format / 8)));
        }
        if (data)
            XFree(data);
        if (after > 0) { // larger than taken: left unread
            XDeleteProperty(display, m_window, m_property);
            return std::nullopt;
        }
        return converted;
    }

    X11Connection& m_x11;
    Atom m_selection;
    QDeadlineTimer m_deadline;
    Window m_window = 0;
    Atom m_incr = 0;
    Atom m_property = 0;
    int m_conversions = 0;
    int m_listener = 0;
    std::deque<XEvent> m_events;
    std::coroutine_handle<> m_waiting;
    QObject m_lifetime;
};

// The formats worth reading from a TARGETS answer, each with the target that gives it, in the
// owner's order. Text is read once, as UTF-8 where the owner offers it.
QList<std::pair<QString, Atom>> dataFormats(X11Connection& x11, const QByteArray& targetsAnswer) {
    std::vector<Atom> targets;
    for (qsizetype at = 0; at + 4 <= targetsAnswer.size(); at += 4) {
        quint32 target = 0;
        std::memcpy(&target, targetsAnswer.constData() + at, sizeof target);
        if (target != None)
            targets.push_back(target);
    }
    QList<std::pair<QString, Atom>> formats;
    if (targets.empty())
        return formats;
    std::vector<char*> names(targets.size(), nullptr);
    if (!XGetAtomNames(x11.display(), targets.data(), static_cast<int>(targets.size()),
                       names.data()))
        return formats;
    const Atom utf8 = x11.atom("UTF8_STRING");
    const auto offers = [&](const QByteArray& name) {
        return std::any_of(names.begin(), names.end(),
                           [&](const char* offered) { return offered && name == offered; });
    };
    const bool hasUtf8 = offers("UTF8_STRING");
    const bool hasPlainText = offers("text/plain");
    const QString plainText = QStringLiteral("text/plain");
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const QByteArray name(names[i] ? names[i] : "");
        QString type;
        if (targets[i] == utf8)
            type = plainText;
        else if (targets[i] == XA_STRING)
            type = hasUtf8 || hasPlainText ? QString() : plainText;
        else if (name == "text/plain")
            type = hasUtf8 ? QString() : plainText;
        else if (isDataTarget(name))
            type = QString::fromLatin1(name);
        const bool taken = std::any_of(formats.begin(), formats.end(),
                                       [&](const auto& format) { return format.first == type; });
        if (!type.isEmpty() && !taken)
            formats.append({type, targets[i]});
    }
    for (char* name : names) {
        if (name)
            XFree(name);
    }
    return formats;
}

} // namespace

X11SelectionReader::X11SelectionReader(X11Connection& connection) : m_connection(connection) {}

QCoro::Task<ClipboardReading> X11SelectionReader::readAll(Atom selection, milliseconds deadline) {
    SelectionTransfer transfer(*this, selection, deadline);
    ClipboardReading reading;
    const std::optional<Converted> offered =
        co_await transfer.convert(m_connection.atom("TARGETS"));
    if (!offered) {
        if (transfer.timedOut()) {
            qCInfo(lc) << "the selection's owner did not list its formats in time";
            reading.unread.append(QStringLiteral("TARGETS"));
            reading.timedOut = true;
        }
        co_return reading;
    }
    const QList<std::pair<QString, Atom>> formats = dataFormats(m_connection, offered->bytes);
    if (formats.isEmpty())
        co_return reading;
    ClipboardItem item;
    for (const auto& [type, target] : formats) {
        if (transfer.timedOut()) {
            reading.unread.append(type);
            continue;
        }
        std::optional<Converted> data = co_await transfer.convert(target);
        if (!data) {
            reading.unread.append(type);
            continue;
        }
        if (target == XA_STRING)
            data->bytes = QString::fromLatin1(data->bytes).toUtf8();
        item.representations.append({type, std::move(data->bytes)});
    }
    reading.timedOut = transfer.timedOut();
    reading.items.append(std::move(item));
    co_return reading;
}

QCoro::Task<std::optional<QString>> X11SelectionReader::readText(Atom selection,
                                                                 milliseconds deadline) {
    SelectionTransfer transfer(*this, selection, deadline);
    const std::optional<Converted> utf8 =
        co_await transfer.convert(m_connection.atom("UTF8_STRING"));
    if (utf8)
        co_return QString::fromUtf8(utf8->bytes);
    if (transfer.timedOut()) {
        qCInfo(lc) << "the selection's owner did not give its text in time";
        co_return std::nullopt;
    }
    const std::optional<Converted> latin1 = co_await transfer.convert(XA_STRING);
    if (latin1)
        co_return QString::fromLatin1(latin1->bytes);
    co_return std::nullopt;
}

} // namespace ovra::platform
