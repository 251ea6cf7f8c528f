#include "engines/event_stream.h"

#include <gtest/gtest.h>

using namespace ovra;

namespace {

QList<QByteArray> readAll(EventStreamReader& reader, const QByteArray& stream, qsizetype cut) {
    QList<QByteArray> events = reader.feed(QByteArrayView(stream).first(cut));
    events += reader.feed(QByteArrayView(stream).sliced(cut));
    events += reader.finish();
    return events;
}

// Every stream is also read cut in two at every byte, and one byte at a time: where the network
// splits it never changes what is read.
TEST(EventStreamReader, ReadsTheDataOfEachEventWhereverTheStreamIsCut) {
    const struct {
        QByteArray stream;
        QList<QByteArray> events;
    } cases[] = {
        {"data: {\"a\":1}\n\ndata: [DONE]\n\n", {"{\"a\":1}", "[DONE]"}},
        {"data: x\r\n\r\ndata: y\r\n\r\n", {"x", "y"}},
        {"data: a\r\ndata: b\r\n\r\n", {"a\nb"}},
        {"data: x\r\rdata:y\r", {"x", "y"}},
        {": keep-alive\n\n:\ndata: x\n\n: ping\n\n", {"x"}},
        {"event: message\nid: 7\nretry: 10\ndata: x\n\n\n\n", {"x"}},
        {"data: one\ndata:  two\n\n", {"one\n two"}},
        {"data\n\ndata:\n\n", {"", ""}},
        {"data: {\"error\":{\"message\":\"m\"}}\n\n", {"{\"error\":{\"message\":\"m\"}}"}},
        {"data: cut short", {"cut short"}},
        {"datum: x\n\n", {}},
    };
    for (const auto& [stream, events] : cases) {
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            EventStreamReader reader;
            EXPECT_EQ(readAll(reader, stream, cut), events) << stream.toStdString() << " @" << cut;
        }
        EventStreamReader reader;
        QList<QByteArray> byByte;
        for (const char c : stream)
            byByte += reader.feed(QByteArrayView(&c, 1));
        byByte += reader.finish();
        EXPECT_EQ(byByte, events) << stream.toStdString();
    }
}

} // namespace
