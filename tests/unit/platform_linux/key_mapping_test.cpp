#include "platform/linux/key_mapping.h"

#include <gtest/gtest.h>

// After gtest: X.h defines None, which gtest uses as a name.
#include <X11/X.h>
#include <X11/keysym.h>

namespace ovra::platform {
namespace {

TEST(KeyMapping, StoredCodesOfTheKeysTheCaptureWatches) {
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_a), KeyCode::A);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_A), KeyCode::A); // Shift held
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_c), KeyCode::C);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_v), KeyCode::V);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_t), KeyCode::T);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_Escape), KeyCode::Escape);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_Shift_L), std::nullopt);
}

TEST(KeyMapping, EveryStoredCodeMapsBackToItsKey) {
    int mapped = 0;
    for (int code = 0; code < 128; ++code) {
        const auto sym = KeyMapping::keysym(code);
        if (!sym)
            continue;
        ++mapped;
        EXPECT_EQ(KeyMapping::virtualKeyCode(*sym), code) << code;
    }
    EXPECT_GE(mapped, 60);
    EXPECT_EQ(KeyMapping::keysym(10), std::nullopt); // the ISO section key has no ANSI key
    EXPECT_EQ(KeyMapping::keysym(-1), std::nullopt);
}

TEST(KeyMapping, CharactersIgnoreShiftAndNameControlKeys) {
    EXPECT_EQ(KeyMapping::characters(XK_T), u"t");
    EXPECT_EQ(KeyMapping::characters(XK_Eacute), u"é");
    EXPECT_EQ(KeyMapping::characters(XK_Return), u"\r");
    EXPECT_EQ(KeyMapping::characters(XK_Escape), u"\x1b");
    EXPECT_EQ(KeyMapping::characters(0x010020AC), u"€"); // a Unicode keysym
    EXPECT_EQ(KeyMapping::characters(XK_F5), QString());
    EXPECT_EQ(KeyMapping::characters(XK_Control_L), QString());
}

TEST(KeyMapping, ModifierStatesBothWays) {
    EXPECT_EQ(KeyMapping::modifiersFromState(ShiftMask | ControlMask | Mod1Mask | Mod4Mask),
              Modifiers(Modifier::Shift | Modifier::Control | Modifier::Alt | Modifier::Super));
    // Caps Lock and Num Lock are no modifiers of a shortcut.
    EXPECT_EQ(KeyMapping::modifiersFromState(LockMask | Mod2Mask), Modifiers());

    EXPECT_EQ(KeyMapping::stateFromCarbon(0x100), Mod4Mask);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0x200), ShiftMask);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0x800), Mod1Mask);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0x1000), ControlMask);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0x1900), ControlMask | Mod1Mask | Mod4Mask);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0), 0u);
    EXPECT_EQ(KeyMapping::stateFromCarbon(0x400), std::nullopt); // Caps Lock's Carbon bit
}

} // namespace
} // namespace ovra::platform
