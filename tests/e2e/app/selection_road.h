// The fixture of the end-to-end road of a selection through the real program: the program with a
// chat service on loopback, and the gestures and checks the tests share.
#pragma once

#include "app/ovra_app.h"
#include "platform/desktop_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>

namespace ovra::e2e {

// What the chat service answers: accents, a combined emoji and a plain one.
inline const QString translation = QStringLiteral("ingênuo ação 👍🏽 😀");
// The id the settings ignore, and a copy of the Qt target under that name.
inline const QString ignoredID = QStringLiteral("ovra-ignored-target");

// Longer than the program needs to capture after a gesture (120 ms, a retry 280 ms later, a few
// milliseconds of accessibility calls): a panel that has not come by then is not coming.
inline constexpr auto noPanelWait = std::chrono::milliseconds(900);

struct Road {
    FakeChatService chat{translation};
    std::unique_ptr<OvraProcess> ovra;
    QTemporaryDir ignoredDir;
    std::unique_ptr<QProcess> ignoredApp;
    QString ignoredWindow;
};
inline Road* road = nullptr;

class SelectionRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        road = new Road;
        road->ovra =
            std::make_unique<OvraProcess>(OvraProcess::Options{road->chat.baseURL(), {ignoredID}});
        ASSERT_TRUE(road->ovra->start()) << "the program did not come up on the accessibility bus";
    }
    static void TearDownTestSuite() {
        delete road;
        road = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(road, nullptr);
        ASSERT_TRUE(road->ovra->isRunning()) << "the program has stopped";
        // Every test starts without a panel.
        if (road->ovra->panelFrame()) {
            ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
            ASSERT_TRUE(road->ovra->waitForNoPanel());
        }
    }

    OvraProcess& ovra() { return *road->ovra; }
    static FakeChatService& chat() { return road->chat; }
    AccessibilityServices& ax() { return desktopAccessibility(); }

    // The focused text element of `app` (its text view).
    AccessibleElement textOf(TargetApp& app) {
        AccessibleElement found;
        waitUntil([&] {
            const AccessibleElement application = ax().applicationElement(app.pid());
            if (!application)
                return false;
            const auto focused = ax().focusedElement(application);
            if (!focused.ok() || !focused.value)
                return false;
            found = focused.value;
            return true;
        });
        return found;
    }

    // Drags across `range` of `element` with the mouse.
    bool drag(const AccessibleElement& element, const TextRange& range) {
        const auto first = ax().boundsForRange(element, {range.location, 1});
        const auto last = ax().boundsForRange(element, {range.location + range.length - 1, 1});
        return first.ok() && last.ok() && dragAcross(first.value, last.value);
    }

    // Where `word` is on screen in `element` (top-left coordinates), and its range.
    std::optional<std::pair<QRectF, TextRange>> wordBounds(const AccessibleElement& element,
                                                           const QString& word) {
        const auto text = ax().value(element);
        if (!text.ok() || text.value.indexOf(word) < 0)
            return std::nullopt;
        const TextRange range{text.value.indexOf(word), word.size()};
        const auto bounds = ax().boundsForRange(element, range);
        if (!bounds.ok())
            return std::nullopt;
        return std::make_pair(bounds.value, range);
    }

    QRect screen() const { return QRect(0, 0, 1280, 1024); }

    // Clears the selection, then selects `word` in `app` with the mouse and waits for the panel;
    // the selection's bounds.
    // A selection closed before is not shown again while it stays the same, so each test selects
    // a word of its own.
    std::optional<QRectF> selectWithMouse(TargetApp& app, const QString& word) {
        if (!app.activate())
            return std::nullopt;
        const AccessibleElement element = textOf(app);
        if (!element)
            return std::nullopt;
        // A press inside an existing selection would start dragging it instead of selecting.
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
        const auto bounds = wordBounds(element, word);
        if (!bounds || !drag(element, bounds->second))
            return std::nullopt;
        const bool selected = waitUntil([&] {
            const auto selected = ax().selectedText(element);
            return selected.ok() && selected.value == word;
        });
        if (!selected) {
            const auto now = ax().selectedText(element);
            std::fprintf(stderr, "selecting %s by dragging over (%g,%g %gx%g) selected \"%s\"\n",
                         qPrintable(word), bounds->first.x(), bounds->first.y(),
                         bounds->first.width(), bounds->first.height(),
                         qPrintable(now.ok() ? now.value : QStringLiteral("?")));
            return std::nullopt;
        }
        return bounds->first;
    }

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
            const auto children = ax().children(root);
            EXPECT_TRUE(children.ok());
            longest = std::max(longest, std::chrono::milliseconds(call.elapsed()));
            waitUntil([] { return false; }, 50ms);
        }
        return longest;
    }

    // The panel settles beside `selection` (top-left screen coordinates) within a moment.
    void expectPanelBeside(const QRectF& selection) {
        QString why;
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto frame = ovra().panelFrame();
                return frame && placedBeside(*frame, selection, screen(), &why);
            },
            2s))
            << why.toStdString();
    }

    // Presses a button of the panel, found by its name on the accessibility bus.
    bool press(const QString& name) {
        std::optional<QPoint> centre;
        waitUntil(
            [&] {
                centre = ovra().elementCentre(QStringLiteral("push button"), name);
                return centre.has_value();
            },
            3s);
        return centre && clickAt(*centre);
    }

    // Translates with the panel's button and waits for the service's text in the panel.
    void translateInPanel(const QString& selected) {
        const std::size_t before = road->chat.requests().size();
        ASSERT_TRUE(press(QStringLiteral("Traduzir"))) << "no \"Traduzir\" button in the panel";
        ASSERT_TRUE(
            waitUntil([&] { return ovra().hasElement(QStringLiteral("label"), translation); }, 10s))
            << "the panel does not show the service's translation; it shows:\n"
            << ovra().describePanel().toStdString() << "requests: " << road->chat.requests().size();
        const auto requests = road->chat.requests();
        ASSERT_EQ(requests.size(), before + 1);
        const auto& request = requests.back();
        EXPECT_EQ(request.path, "/v1/chat/completions");
        EXPECT_EQ(request.header("Authorization"), "Bearer test-key");
        const QJsonObject body =
            QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        EXPECT_EQ(body.value(QStringLiteral("model")).toString(), u"fake");
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(messages.last().toObject().value(QStringLiteral("content")).toString(), selected);
        // The panel stays up and the application keeps the focus.
        EXPECT_TRUE(ovra().panelFrame().has_value());
    }

    // Replaces the selection with the panel's button and checks what `app` then holds.
    void replaceInPanel(TargetApp& app, const TextRange& range) {
        const AccessibleElement element = textOf(app);
        ASSERT_FALSE(element.isNull());
        const auto before = ax().value(element);
        ASSERT_TRUE(before.ok());
        QString expected = before.value;
        expected.replace(range.location, range.length, translation);

        ASSERT_TRUE(press(QStringLiteral("Substituir"))) << "no \"Substituir\" button";
        EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
            << "the application holds: " << app.reportedText().toStdString();
        const auto readBack = ax().value(element);
        ASSERT_TRUE(readBack.ok());
        EXPECT_EQ(readBack.value, expected);
        // The panel confirms, then hides by itself.
        EXPECT_TRUE(waitUntil(
            [&] {
                return ovra().hasElement(QStringLiteral("label"), QStringLiteral("Substituído ✓"));
            },
            2s))
            << "the panel did not confirm the replacement";
        EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";

        // Back to the original text for the tests that follow.
        restore(app, element, range, before.value);
    }

    void restore(TargetApp& app, const AccessibleElement& element, const TextRange& range,
                 const QString& before) {
        ASSERT_EQ(ax().setSelectedTextRange(element, {range.location, translation.size()}),
                  AccessStatus::Success);
        ASSERT_EQ(ax().setSelectedText(element, before.mid(range.location, range.length)),
                  AccessStatus::Success);
        EXPECT_TRUE(waitUntil([&] { return app.reportedText() == before; }));
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
