#include "platform/linux/key_mapping.h"
#include "settings/stored_shortcut.h"

#include <gtest/gtest.h>

// After gtest: X.h defines None, which gtest uses as a name.
#include <X11/X.h>
#include <X11/keysym.h>

namespace ovra::platform {
namespace {

// The shortcut's key is grabbed by its keysym, which the monitors read back as the key's code
// (the capture watches some of them: A, C, V, T, Escape), whatever the case.
TEST(KeyMapping, EveryKeyOfAStoredShortcutHasItsKeysymAndItsCharacters) {
    int mapped = 0;
    for (qint64 code = 0; code < 128; ++code) {
        const auto keys = StoredShortcut::toKeys({code, 0});
        if (!keys)
            continue;
        ++mapped;
        const auto sym = KeyMapping::keysym(keys->key());
        ASSERT_TRUE(sym) << code;
        EXPECT_EQ(KeyMapping::virtualKeyCode(*sym), code) << code;
    }
    EXPECT_EQ(mapped, 73);
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_A), KeyCode::A); // Shift held
    EXPECT_EQ(KeyMapping::virtualKeyCode(XK_Shift_L), std::nullopt);
    EXPECT_EQ(KeyMapping::keysym(Qt::Key_VolumeUp), std::nullopt);

    // Characters ignore Shift and name control keys.
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

    EXPECT_EQ(KeyMapping::modifierState(Qt::MetaModifier), Mod4Mask);
    EXPECT_EQ(KeyMapping::modifierState(Qt::ShiftModifier), ShiftMask);
    EXPECT_EQ(KeyMapping::modifierState(Qt::AltModifier), Mod1Mask);
    EXPECT_EQ(KeyMapping::modifierState(Qt::ControlModifier), ControlMask);
    EXPECT_EQ(KeyMapping::modifierState(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier),
              ControlMask | Mod1Mask | Mod4Mask);
    EXPECT_EQ(KeyMapping::modifierState({}), 0u);
    EXPECT_EQ(KeyMapping::modifierState(Qt::MetaModifier | Qt::KeypadModifier), std::nullopt);
}

} // namespace
} // namespace ovra::platform
