// Reading and writing other applications' text over the accessibility bus, against a GTK and a
// Qt application: the two count text positions differently, the program sees UTF-16 only.
#include "platform/desktop_fixture.h"

namespace ovra::e2e {
namespace {

struct Toolkit {
    const char* name;
    TargetApp& (*target)();
};

class TextCapture : public ::testing::TestWithParam<Toolkit> {
protected:
    void SetUp() override {
        app = &GetParam().target();
        ASSERT_TRUE(app->activate());
    }
    TargetApp* app = nullptr;
    AccessibilityServices& ax = desktopAccessibility();
};

TEST_P(TextCapture, ReadsSelectionAfterAccentsAndEmojiAsUtf16) {
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    const AccessibleElement element = waitForSelection(*app, QStringLiteral("naïve"));
    ASSERT_FALSE(element.isNull());

    EXPECT_EQ(ax.processId(element), app->pid());
    const auto range = ax.selectedTextRange(element);
    ASSERT_TRUE(range.ok());
    EXPECT_EQ(range.value, (TextRange{initialText.indexOf(u"naïve"), 5}));
    EXPECT_EQ(initialText.mid(range.value.location, range.value.length), u"naïve");

    const auto role = ax.role(element);
    ASSERT_TRUE(role.ok());
    EXPECT_EQ(role.value, ElementRole::TextArea);
    const auto settable = ax.isSettable(element, SettableAttribute::SelectedText);
    ASSERT_TRUE(settable.ok());
    EXPECT_TRUE(settable.value);
    const auto whole = ax.value(element);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value, app->reportedText());

    // Focus events keep the desktop-wide focus at hand; a separately found handle is equal.
    EXPECT_TRUE(waitUntil([&] {
        const auto focus = ax.systemFocusedElement();
        return focus.ok() && focus.value == element;
    }));
    const auto again = ax.focusedElement(ax.applicationElement(app->pid()));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value, element);
}

TEST_P(TextCapture, BoundsOfARangeLieOnTheTextInsideTheWindow) {
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    const AccessibleElement element = waitForSelection(*app, QStringLiteral("naïve"));
    ASSERT_FALSE(element.isNull());

    const TextRange word{initialText.indexOf(u"naïve"), 5};
    const auto bounds = ax.boundsForRange(element, word);
    ASSERT_TRUE(bounds.ok());
    const QRectF window = QRectF(app->geometry());
    const auto frame = ax.frame(element);
    ASSERT_TRUE(frame.ok());
    EXPECT_GT(bounds.value.width(), 10);
    EXPECT_GT(bounds.value.height(), 5);
    EXPECT_TRUE(window.contains(bounds.value)) << "window " << window.x() << ',' << window.y();
    EXPECT_TRUE(frame.value.contains(bounds.value));

    // The word on the second line is below the first one, and further right than its start.
    const TextRange target{initialText.indexOf(u"ALVO"), 4};
    const auto second = ax.boundsForRange(element, target);
    ASSERT_TRUE(second.ok());
    EXPECT_GE(second.value.top(), bounds.value.bottom() - 1);
    EXPECT_TRUE(window.contains(second.value));

    // What is at the middle of the word is the text element itself.
    const auto hit = ax.elementAtPosition(bounds.value.center());
    ASSERT_TRUE(hit.ok());
    EXPECT_EQ(hit.value, element);
}

TEST_P(TextCapture, WritesSelectionExactlyAndMovesIt) {
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    const AccessibleElement element = waitForSelection(*app, QStringLiteral("naïve"));
    ASSERT_FALSE(element.isNull());

    // Other tests' keys may have added to the end; the start is the same.
    const QString before = app->reportedText();
    ASSERT_TRUE(before.startsWith(initialText.left(20)));
    const QString replacement = QStringLiteral("résumé 🎉👍🏽 ok");
    ASSERT_EQ(ax.setSelectedText(element, replacement), AccessStatus::Success);
    QString expected = before;
    expected.replace(before.indexOf(u"naïve"), 5, replacement);
    EXPECT_TRUE(waitUntil([&] { return app->reportedText() == expected; }))
        << app->reportedText().toStdString();
    const auto readBack = ax.value(element);
    ASSERT_TRUE(readBack.ok());
    EXPECT_EQ(readBack.value, expected);

    // A range after the new emoji selects exactly the word there.
    const TextRange text{expected.indexOf(u"text"), 4};
    ASSERT_EQ(ax.setSelectedTextRange(element, text), AccessStatus::Success);
    EXPECT_TRUE(waitUntil([&] {
        const auto selected = ax.selectedText(element);
        return selected.ok() && selected.value == u"text";
    }));
    const auto range = ax.selectedTextRange(element);
    ASSERT_TRUE(range.ok());
    EXPECT_EQ(range.value, text);

    // Put the original text back for the other tests, through the same calls.
    ASSERT_EQ(ax.setSelectedTextRange(element, {0, expected.size()}), AccessStatus::Success);
    ASSERT_EQ(ax.setSelectedText(element, before), AccessStatus::Success);
    EXPECT_TRUE(waitUntil([&] { return app->reportedText() == before; }))
        << app->reportedText().toStdString();
}

// The one-line field is full: a longer write deletes the selection and cannot insert all of the
// new text. The deleted text comes back, and the failure means the field is as it was.
TEST_P(TextCapture, AWriteThatCannotAllGoInLeavesTheFieldAsItWas) {
    // The one-line field ("…: um dois três" in both targets), anywhere in the application's tree.
    AccessibleElement field;
    QList<AccessibleElement> pending{ax.applicationElement(app->pid())};
    for (int visited = 0; !pending.isEmpty() && field.isNull() && visited < 200; ++visited) {
        const AccessibleElement element = pending.takeFirst();
        const auto value = ax.value(element);
        if (value.ok() && value.value.endsWith(u"um dois três")) {
            field = element;
        } else if (const auto children = ax.children(element); children.ok()) {
            pending.append(children.value);
        }
    }
    ASSERT_FALSE(field.isNull());
    const auto before = ax.value(field);
    ASSERT_TRUE(before.ok());
    const qsizetype word = before.value.indexOf(u"um");
    ASSERT_GE(word, 0);

    ASSERT_EQ(ax.setSelectedTextRange(field, {word, 2}), AccessStatus::Success);
    EXPECT_NE(ax.setSelectedText(field, QStringLiteral("muitas palavras a mais")),
              AccessStatus::Success);
    const auto after = ax.value(field);
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after.value, before.value);

    // A write that fits still goes in.
    ASSERT_EQ(ax.setSelectedTextRange(field, {word, 2}), AccessStatus::Success);
    ASSERT_EQ(ax.setSelectedText(field, QStringLiteral("uu")), AccessStatus::Success);
    EXPECT_EQ(ax.value(field).value, QString(before.value).replace(word, 2, QStringLiteral("uu")));
    ASSERT_EQ(ax.setSelectedTextRange(field, {word, 2}), AccessStatus::Success);
    ASSERT_EQ(ax.setSelectedText(field, QStringLiteral("um")), AccessStatus::Success);
}

TEST_P(TextCapture, ElementTreeAroundTheTextHangsTogether) {
    ASSERT_TRUE(selectByKeys(0, 3));
    const AccessibleElement element = waitForSelection(*app, QStringLiteral("Olá"));
    ASSERT_FALSE(element.isNull());

    const auto parent = ax.parent(element);
    ASSERT_TRUE(parent.ok());
    ASSERT_FALSE(parent.value.isNull());
    const auto siblings = ax.children(parent.value);
    ASSERT_TRUE(siblings.ok());
    EXPECT_TRUE(siblings.value.contains(element));

    // Up the tree to the application, whose parent is nothing.
    const AccessibleElement application = ax.applicationElement(app->pid());
    ASSERT_FALSE(application.isNull());
    AccessibleElement current = element;
    int steps = 0;
    while (!(current == application) && steps < 30) {
        const auto up = ax.parent(current);
        ASSERT_TRUE(up.ok());
        ASSERT_FALSE(up.value.isNull());
        current = up.value;
        ++steps;
    }
    EXPECT_EQ(current, application);
    const auto top = ax.parent(application);
    ASSERT_TRUE(top.ok());
    EXPECT_TRUE(top.value.isNull());

    const auto windows = ax.windows(application);
    ASSERT_TRUE(windows.ok());
    ASSERT_FALSE(windows.value.isEmpty());
    const auto windowFrame = ax.frame(windows.value.first());
    const auto textFrame = ax.frame(element);
    ASSERT_TRUE(windowFrame.ok() && textFrame.ok());
    EXPECT_TRUE(windowFrame.value.contains(textFrame.value));

    EXPECT_EQ(ax.selectedText(AccessibleElement()).status, AccessStatus::InvalidElement);
    EXPECT_EQ(ax.applicationElement(999999), AccessibleElement());
}

INSTANTIATE_TEST_SUITE_P(Toolkits, TextCapture,
                         ::testing::Values(Toolkit{"Gtk", &gtkTarget}, Toolkit{"Qt", &qtTarget}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace ovra::e2e
