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
};

} // namespace ovra::e2e
