// The hot key follows its key to another key code when the keyboard mapping changes.
#include "platform/desktop_fixture.h"

#include <algorithm>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace ovra::e2e {
namespace {

std::vector<KeySym> symbolsOf(Display* display, int code) {
    int perCode = 0;
    KeySym* symbols = XGetKeyboardMapping(display, static_cast<::KeyCode>(code), 1, &perCode);
    std::vector<KeySym> result(symbols, symbols + (symbols ? perCode : 0));
    if (symbols)
        XFree(symbols);
    return result;
}

// Presses Ctrl+Alt and the key with `code`, as the keyboard would.
void pressWithControlAlt(Display* display, int code) {
    const ::KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const ::KeyCode alt = XKeysymToKeycode(display, XK_Alt_L);
    XTestFakeKeyEvent(display, control, True, CurrentTime);
    XTestFakeKeyEvent(display, alt, True, CurrentTime);
    XTestFakeKeyEvent(display, static_cast<unsigned int>(code), True, CurrentTime);
    XTestFakeKeyEvent(display, static_cast<unsigned int>(code), False, CurrentTime);
    XTestFakeKeyEvent(display, alt, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XSync(display, False);
}

// Puts `symbols` on `code`; another client makes the change, as a layout switch would.
void mapKey(Display* display, int code, std::vector<KeySym> symbols) {
    if (symbols.empty())
        symbols.push_back(NoSymbol);
    XChangeKeyboardMapping(display, code, static_cast<int>(symbols.size()), symbols.data(), 1);
    XSync(display, False);
}

TEST(HotKey, FollowsItsKeyAcrossAKeyboardMappingChange) {
    ASSERT_TRUE(gtkTarget().activate());
    Display* ours = desktop().connection().display();
    auto other = platform::X11Connection::open();
    ASSERT_TRUE(other);
    Display* display = other->display();
    const int original = XKeysymToKeycode(display, XK_t);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int spare = 0;
    for (int code = maxCode; code >= minCode && !spare; --code) {
        const std::vector<KeySym> symbols = symbolsOf(display, code);
        if (std::all_of(symbols.begin(), symbols.end(), [](KeySym s) { return s == NoSymbol; })) {
            spare = code;
        }
    }
    ASSERT_NE(original, 0);
    ASSERT_NE(spare, 0);
    const std::vector<KeySym> originalSymbols = symbolsOf(display, original);
    const std::vector<KeySym> spareSymbols = symbolsOf(display, spare);

    int presses = 0;
    auto& hotKey = desktop().hotKey();
    ASSERT_TRUE(hotKey.registerHotKey(
        QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_T), [&] { ++presses; }));

    mapKey(display, original, {NoSymbol});
    mapKey(display, spare, originalSymbols);
    // Our connection has handled the change once it finds the key at its new place.
    ASSERT_TRUE(waitUntil([&] { return XKeysymToKeycode(ours, XK_t) == spare; }));
    pressWithControlAlt(display, spare);
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));

    mapKey(display, spare, spareSymbols);
    mapKey(display, original, originalSymbols);
    ASSERT_TRUE(waitUntil([&] { return XKeysymToKeycode(ours, XK_t) == original; }));
    pressWithControlAlt(display, original);
    EXPECT_TRUE(waitUntil([&] { return presses == 2; }));
    hotKey.unregisterHotKey();
}

} // namespace
} // namespace ovra::e2e
