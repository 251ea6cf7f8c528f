#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace ovra {

// Reads a server-sent event stream as it arrives, in pieces cut anywhere (inside a line, between
// the CR and LF of a line end). Only the data of each event matters here: comment lines (": …",
// the keep-alives some services send), other fields and empty events are skipped. Lines end in
// LF, CRLF or CR. An event ends at an empty line, or at the end of the stream.
class EventStreamReader {
public:
    // The data of every event completed by `bytes`, its "data:" lines joined with LF.
    QList<QByteArray> feed(QByteArrayView bytes);
    // The data of an event the stream ended in without its closing empty line.
    QList<QByteArray> finish();

private:
    void takeLine(QByteArrayView line, QList<QByteArray>& events);

    QByteArray m_line;
    QByteArray m_data;
    bool m_hasData = false;
    bool m_afterCR = false;
};

} // namespace ovra
