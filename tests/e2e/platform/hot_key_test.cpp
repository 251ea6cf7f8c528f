// The hot key: grabbed once per press whatever the locks, held against other clients, and
// following its key to another key code when the keyboard mapping changes.
#include "platform/desktop_fixture.h"

#include <algorithm>
#include <vector>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

std::vector<KeySym> symbolsOf(Display* display, int code) {
    int perCode = 0;
    KeySym* symbols = XGetKeyboardMapping(display, static_cast<::KeyCode>(code), 1, &perCode);
    std::vector<KeySym> result(symbols, symbols + (symbols ? perCode : 0));
    if (symbols)
        XFree(symbols);
    return result;
}

// Puts `symbols` on `code`; another client makes the change, as a layout switch would.
void mapKey(Display* display, int code, std::vector<KeySym> symbols) {
    if (symbols.empty())
        symbols.push_back(NoSymbol);
    XChangeKeyboardMapping(display, code, static_cast<int>(symbols.size()), symbols.data(), 1);
    XSync(display, False);
}

TEST(HotKey, FiresOncePerPressWhateverTheLocksAndFollowsItsKeyToAnotherCode) {
    ASSERT_TRUE(gtkTarget().activate());
    auto& hotKey = desktop().hotKey();
    int presses = 0;
    constexpr Qt::KeyboardModifiers controlAlt = Qt::ControlModifier | Qt::AltModifier;
    constexpr QKeyCombination controlAltT(controlAlt, Qt::Key_T);
    ASSERT_TRUE(hotKey.registerHotKey(controlAltT, [&] { ++presses; }));
    EXPECT_FALSE(
        hotKey.registerHotKey(QKeyCombination(controlAlt, Qt::Key_A), [] {})); // one at a time

    ASSERT_TRUE(xdotool(u"key ctrl+alt+t"_s));
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
    ASSERT_TRUE(xdotool(u"key Caps_Lock ctrl+alt+t Caps_Lock"_s));
    EXPECT_TRUE(waitUntil([&] { return presses == 2; }));
    // Another modifier held is another combination.
    ASSERT_TRUE(xdotool(u"key ctrl+alt+shift+t"_s));

    // A second client cannot take the combination while it is held, and can once it is let go.
    auto other = platform::X11Connection::open();
    ASSERT_TRUE(other);
    platform::X11HotKeyService competitor(*other);
    EXPECT_FALSE(competitor.registerHotKey(controlAltT, [] {}));
    hotKey.unregisterHotKey();
    EXPECT_TRUE(competitor.registerHotKey(controlAltT, [] {}));
    competitor.unregisterHotKey();

    ASSERT_TRUE(xdotool(u"key ctrl+alt+t"_s));
    QList<InputEvent> marker;
    Subscription watch = desktop().input().addGlobalMonitor(
        InputEventType::KeyUp, [&](const InputEvent& event) { marker.append(event); });
    ASSERT_TRUE(sendMarkerAndWait(marker));
    watch.reset();
    EXPECT_EQ(presses, 2);

    // Not a modifier we map, and a key without a keysym.
    EXPECT_FALSE(hotKey.registerHotKey(
        QKeyCombination(Qt::KeypadModifier | Qt::ControlModifier, Qt::Key_T), [] {}));
    EXPECT_FALSE(hotKey.registerHotKey(QKeyCombination(controlAlt, Qt::Key_VolumeUp), [] {}));

    // The key moves to another key code (another client changes the mapping, as a layout switch
    // would) and back.
    Display* ours = desktop().connection().display();
    Display* display = other->display();
    const int original = XKeysymToKeycode(display, XK_t);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int spare = 0;
    for (int code = maxCode; code >= minCode && !spare; --code) {
        if (std::ranges::all_of(symbolsOf(display, code), [](KeySym s) { return s == NoSymbol; }))
            spare = code;
    }
    ASSERT_NE(original, 0);
    ASSERT_NE(spare, 0);
    const std::vector<KeySym> originalSymbols = symbolsOf(display, original);
    const std::vector<KeySym> spareSymbols = symbolsOf(display, spare);

    ASSERT_TRUE(hotKey.registerHotKey(controlAltT, [&] { ++presses; }));

    mapKey(display, original, {NoSymbol});
    mapKey(display, spare, originalSymbols);
    // Our connection has handled the change once it finds the key at its new place.
    ASSERT_TRUE(waitUntil([&] { return XKeysymToKeycode(ours, XK_t) == spare; }));
    // xdotool presses the key code that now carries the keysym.
    ASSERT_TRUE(xdotool(u"key ctrl+alt+t"_s));
    EXPECT_TRUE(waitUntil([&] { return presses == 3; }));

    mapKey(display, spare, spareSymbols);
    mapKey(display, original, originalSymbols);
    ASSERT_TRUE(waitUntil([&] { return XKeysymToKeycode(ours, XK_t) == original; }));
    ASSERT_TRUE(xdotool(u"key ctrl+alt+t"_s));
    EXPECT_TRUE(waitUntil([&] { return presses == 4; }));
    hotKey.unregisterHotKey();
}

} // namespace
} // namespace ovra::e2e
