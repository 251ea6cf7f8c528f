// The road of a selection through the real program on the X11 desktop, where the test reaches
// the applications through the platform's own accessibility and input services: the checks the
// X11 road tests share beyond the desktop session's.
#pragma once

#include "app/desktop_session.h"
#include "platform/desktop_fixture.h"

#include <QElapsedTimer>

namespace ovra::e2e {

class SelectionRoad : public DesktopSession {
protected:
    AccessibilityServices& ax() { return desktopAccessibility(); }

    // The longest wait for the program's own accessibility root to answer, asked every 50 ms
    // for `duration`: its UI thread answers these, so a stall shows here.
    std::chrono::milliseconds longestStall(std::chrono::milliseconds duration) {
        const AccessibleElement root = ax().applicationElement(ovra().pid());
        EXPECT_TRUE(root) << "the program is not on the accessibility bus";
        std::chrono::milliseconds longest{0};
        QElapsedTimer total;
        total.start();
        while (root && total.elapsed() < duration.count()) {
            QElapsedTimer call;
            call.start();
            EXPECT_TRUE(ax().children(root).ok());
            longest = std::max(longest, std::chrono::milliseconds(call.elapsed()));
            waitUntil([] { return false; }, 50ms);
        }
        return longest;
    }

    // Selects `range` of `element` over the accessibility bus, without any input gesture.
    void selectQuietly(const AccessibleElement& element, const TextRange& range,
                       const QString& expected) {
        ASSERT_EQ(ax().setSelectedTextRange(element, range), AccessStatus::Success);
        ASSERT_TRUE(waitUntil([&] { return selectedIn(element) == expected; }));
    }

    // Opens the panel's question field and clicks into it, which gives the panel the keyboard.
    void openQuestionField() {
        ASSERT_TRUE(press(QStringLiteral("Mais opções de IA")));
        ASSERT_TRUE(press(QStringLiteral("Perguntar")));
        const QString name = QStringLiteral("Pergunte sobre a seleção…");
        std::optional<QPoint> field;
        ASSERT_TRUE(waitUntil(
            [&] {
                field = ovra().elementCentre(QStringLiteral("entry"), name);
                if (!field)
                    field = ovra().elementCentre(QStringLiteral("text"), name);
                return field.has_value();
            },
            3s))
            << "no question field; the panel shows:\n"
            << ovra().describePanel().toStdString();
        ASSERT_TRUE(clickAt(*field));
        // On its way the focus passes through "none"; typing then would reach no window.
        ASSERT_TRUE(waitUntil(
            [&] {
                const QString panel = ovra().panelWindowId();
                return !panel.isEmpty() && activeWindow() == panel;
            },
            3s))
            << "the question field did not take the keyboard";
    }

    // "Traduzir e substituir" by its shortcut (Alt+Super+R in these settings) on the selected
    // `range` of `element`: the translation takes the range's place without the panel, the card
    // confirms, and its "Desfazer" puts back exactly the text there was.
    void replaceByShortcutAndUndo(const AccessibleElement& element, const TextRange& range) {
        const auto before = ax().value(element);
        ASSERT_TRUE(before.ok());
        QString expected = before.value;
        expected.replace(range.location, range.length, translation);
        const auto holds = [&](const QString& text) {
            const auto now = ax().value(element);
            return now.ok() && now.value == text;
        };

        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+r")}));
        EXPECT_TRUE(waitUntil([&] { return holds(expected); }, 10s))
            << "the application holds: " << ax().value(element).value.toStdString();
        EXPECT_TRUE(waitUntil(
            [&] {
                return ovra().hasElement(QStringLiteral("label"), QStringLiteral("Substituído ✓"));
            },
            3s))
            << "no card confirmed the replacement; the program shows:\n"
            << ovra().describePanel().toStdString();
        EXPECT_FALSE(ovra().panelFrame()) << "the panel opened for a replacing action";

        ASSERT_TRUE(press(QStringLiteral("Desfazer"))) << "no \"Desfazer\" on the card";
        EXPECT_TRUE(waitUntil([&] { return holds(before.value); }, 5s))
            << "after Desfazer the application holds: " << ax().value(element).value.toStdString();
    }
};

} // namespace ovra::e2e
