#include "platform/linux/atspi/editable_text_write.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::platform;

namespace {

// An editable text held in a string; each kind of refusal can be switched on.
struct ScriptedText {
    QString text;
    bool readFails = false;
    bool deleteFails = false;
    // cutToFit takes in what fits a full field; dropsTheEnd takes all and cuts the field's end.
    enum class Insert {
        works,
        refused,
        acceptedButDropped,
        refusedAfterHalf,
        cutToFit,
        dropsTheEnd,
        elsewhere // at the end of the text, reporting failure
    };
    Insert insert = Insert::works;
    int inserts = 0;
    QStringList removed; // what each delete took

    EditableTextCalls calls() {
        EditableTextCalls c;
        c.characterCount = [this] { return std::optional<int>(int(text.size())); };
        c.textBetween = [this](int start, int end) -> std::optional<QString> {
            if (readFails)
                return std::nullopt;
            return text.mid(start, end - start);
        };
        c.deleteText = [this](int start, int end) {
            if (deleteFails)
                return false;
            removed << text.mid(start, end - start);
            text.remove(start, end - start);
            return true;
        };
        c.insertText = [this](int at, const QString& piece) {
            // Only the first insert (the replacement) misbehaves; the restore goes through.
            const bool first = inserts++ == 0;
            if (first && insert == Insert::dropsTheEnd) {
                const qsizetype full =
                    text.size() + 5; // the field held this much before the delete
                text = text.insert(at, piece).left(full);
                return true;
            }
            if (first && insert == Insert::elsewhere) {
                text.append(piece);
                return false;
            }
            if (first && insert != Insert::works) {
                if (insert == Insert::refusedAfterHalf || insert == Insert::cutToFit)
                    text.insert(at, piece.left(piece.size() / 2));
                return insert == Insert::acceptedButDropped || insert == Insert::cutToFit;
            }
            text.insert(at, piece);
            return true;
        };
        c.lengthOf = [](const QString& piece) { return int(piece.size()); };
        return c;
    }
};

} // namespace

TEST(EditableTextWrite, ReplacesOrLeavesTheTextAsItWas) {
    using Insert = ScriptedText::Insert;
    struct Case {
        const char* name;
        Insert insert;
        bool readFails;
        bool deleteFails;
        AccessStatus status;
        const char* after;
        const char* removed; // an undo takes only what the insert wrote
    };
    const Case cases[] = {
        {"works", Insert::works, false, false, AccessStatus::Success, "say goodbye now", "hello"},
        {"insert refused", Insert::refused, false, false, AccessStatus::Failure, "say hello now",
         "hello"},
        {"insert dropped", Insert::acceptedButDropped, false, false, AccessStatus::Failure,
         "say hello now", "hello"},
        {"half inserted", Insert::refusedAfterHalf, false, false, AccessStatus::Failure,
         "say hello now", "hello|goo"},
        {"cut to fit", Insert::cutToFit, false, false, AccessStatus::Failure, "say hello now",
         "hello|goo"},
        {"drops the end", Insert::dropsTheEnd, false, false, AccessStatus::Failure, "say hello now",
         "hello|goodbye"},
        // Text the insert did not write is not rewritten: the user's text could go with it.
        {"inserted elsewhere", Insert::elsewhere, false, false, AccessStatus::Failure,
         "say  nowgoodbye", "hello"},
        {"unreadable", Insert::works, true, false, AccessStatus::Failure, "say hello now", ""},
        {"delete refused", Insert::works, false, true, AccessStatus::Failure, "say hello now", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedText doc{QStringLiteral("say hello now")};
        doc.insert = c.insert;
        doc.readFails = c.readFails;
        doc.deleteFails = c.deleteFails;
        EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 4, 9, QStringLiteral("goodbye")), c.status);
        EXPECT_EQ(doc.text, QString::fromUtf8(c.after));
        EXPECT_EQ(doc.removed.join(u'|'), QString::fromUtf8(c.removed));
    }
}

TEST(EditableTextWrite, AnEmptyReplacementOnlyDeletesAndAnEmptyRangeOnlyInserts) {
    ScriptedText doc{QStringLiteral("abc")};
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 1, 2, {}), AccessStatus::Success);
    EXPECT_EQ(doc.text, QStringLiteral("ac"));
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 1, 1, QStringLiteral("b")),
              AccessStatus::Success);
    EXPECT_EQ(doc.text, QStringLiteral("abc"));
    doc.readFails = true; // without a way back nothing is risked
    EXPECT_EQ(replaceTextAllOrNothing(doc.calls(), 0, 1, QStringLiteral("x")),
              AccessStatus::Failure);
    EXPECT_EQ(doc.text, QStringLiteral("abc"));
}
