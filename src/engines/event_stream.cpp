#include "engines/event_stream.h"

namespace ovra {

QList<QByteArray> EventStreamReader::feed(QByteArrayView bytes) {
    QList<QByteArray> events;
    for (const char c : bytes) {
        // A CR ends the line by itself; the LF that may follow it belongs to the same line end.
        if (std::exchange(m_afterCR, false) && c == '\n')
            continue;
        if (c == '\r' || c == '\n') {
            m_afterCR = c == '\r';
            takeLine(m_line, events);
            m_line.clear();
        } else {
            m_line += c;
        }
    }
    return events;
}

QList<QByteArray> EventStreamReader::finish() {
    QList<QByteArray> events;
    if (!m_line.isEmpty())
        takeLine(std::exchange(m_line, QByteArray()), events);
    takeLine({}, events);
    return events;
}

void EventStreamReader::takeLine(QByteArrayView line, QList<QByteArray>& events) {
    if (line.isEmpty()) {
        if (m_hasData)
            events.append(std::exchange(m_data, QByteArray()));
        m_hasData = false;
        return;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView field = colon < 0 ? line : line.first(colon);
    if (field != "data")
        return; // a comment (empty field) or a field this reader has no use for
    QByteArrayView value = colon < 0 ? QByteArrayView() : line.sliced(colon + 1);
    if (value.startsWith(' '))
        value = value.sliced(1);
    if (m_hasData)
        m_data += '\n';
    m_data += value;
    m_hasData = true;
}

} // namespace ovra
