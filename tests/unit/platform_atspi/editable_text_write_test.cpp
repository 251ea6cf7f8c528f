#include "platform/linux/atspi/editable_text_write.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::platform;

namespace {

// An editable text held in a string that can fail in one way. Only the first insert (the
// replacement) misbehaves; the restore goes through.
struct ScriptedText {
    enum class Fault {
        none,
        readFails,
        deleteFails,
        insertRefused,
        insertDropped, // reported done, nothing written
        refusedAfterHalf,
        cutToFit,         // takes in what fits a full field
        dropsTheEnd,      // takes all and cuts the field's end
        insertsElsewhere, // at the end of the text, reporting failure
        deleteTakesTheEnd // the first delete also cuts the text's last character
    };
    QString text;
    Fault fault = Fault::none;
    int inserts = 0;
    QStringList removed; // what each delete took

    EditableTextCalls calls() {
        EditableTextCalls c;
        c.characterCount = [this] { return std::optional<int>(int(text.size())); };
        c.textBetween = [this](int start, int end) -> std::optional<QString> {
            if (fault == Fault::readFails)
                return std::nullopt;
            return text.mid(start, end - start);
        };
        c.deleteText = [this](int start, int end) {
            if (fault == Fault::deleteFails)
                return false;
            removed << text.mid(start, end - start);
            text.remove(start, end - start);
            if (fault == Fault::deleteTakesTheEnd && removed.size() == 1)
                text.chop(1);
            return true;
        };
        c.insertText = [this](int at, const QString& piece) {
            const Fault now = inserts++ == 0 ? fault : Fault::none;
            if (now == Fault::dropsTheEnd) {
                const qsizetype full =
                    text.size() + 5; // the field held this much before the delete
                text = text.insert(at, piece).left(full);
                return true;
            }
            if (now == Fault::insertsElsewhere)
                text.append(piece);
            else if (now == Fault::refusedAfterHalf || now == Fault::cutToFit)
                text.insert(at, piece.left(piece.size() / 2));
            else if (now != Fault::insertRefused && now != Fault::insertDropped)
                text.insert(at, piece);
            return now != Fault::insertRefused && now != Fault::refusedAfterHalf &&
                   now != Fault::insertsElsewhere;
        };
        c.lengthOf = [](const QString& piece) { return int(piece.size()); };
        return c;
    }
};

} // namespace

TEST(EditableTextWrite, ReplacesOrLeavesTheTextAsItWas) {
    using Fault = ScriptedText::Fault;
    const struct {
        const char* name;
        Fault fault;
        const char* after;
        const char* removed; // an undo takes only what the insert wrote
    } cases[] = {
        {"works", Fault::none, "say goodbye now", "hello"},
        {"insert refused", Fault::insertRefused, "say hello now", "hello"},
        {"insert dropped", Fault::insertDropped, "say hello now", "hello"},
        {"half inserted", Fault::refusedAfterHalf, "say hello now", "hello|goo"},
        {"cut to fit", Fault::cutToFit, "say hello now", "hello|goo"},
        {"drops the end", Fault::dropsTheEnd, "say hello now", "hello|goodbye"},
        // Text the insert did not write is not rewritten: the user's text could go with it.
        {"inserted elsewhere", Fault::insertsElsewhere, "say  nowgoodbye", "hello"},
        {"unreadable", Fault::readFails, "say hello now", ""},
        {"delete refused", Fault::deleteFails, "say hello now", ""},
    };
    for (const auto& [name, fault, after, removed] : cases) {
        SCOPED_TRACE(name);
        ScriptedText doc{QStringLiteral("say hello now"), fault};
        EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 4, 9, QStringLiteral("goodbye")),
                  fault == Fault::none ? AccessStatus::Success : AccessStatus::Failure);
        EXPECT_EQ(doc.text, QString::fromUtf8(after));
        EXPECT_EQ(doc.removed.join(u'|'), QString::fromUtf8(removed));
    }

    // An empty replacement only deletes, an empty range only inserts.
    ScriptedText doc{QStringLiteral("abc")};
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 1, 2, {}), AccessStatus::Success);
    EXPECT_EQ(doc.text, QStringLiteral("ac"));
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 1, 1, QStringLiteral("b")),
              AccessStatus::Success);
    EXPECT_EQ(doc.text, QStringLiteral("abc"));
    // A write that only deletes is checked too: what the application took besides comes back.
    ScriptedText greedy{QStringLiteral("say hello now"), Fault::deleteTakesTheEnd};
    EXPECT_EQ(replaceTextAllOrNothing(greedy.calls(), 4, 9, {}), AccessStatus::Failure);
    EXPECT_EQ(greedy.text, QStringLiteral("say hello now"));
    doc.fault = Fault::readFails; // without a way back nothing is risked
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 0, 1, QStringLiteral("x")),
              AccessStatus::Failure);
    EXPECT_EQ(doc.text, QStringLiteral("abc"));
}
