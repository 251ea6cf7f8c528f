#include "settings/stored_shortcut.h"

#include <gtest/gtest.h>

using namespace ovra;
using Values = StoredShortcut::Values;

namespace {

constexpr Qt::KeyboardModifiers none{}, meta = Qt::MetaModifier, shift = Qt::ShiftModifier,
                                        alt = Qt::AltModifier, ctrl = Qt::ControlModifier;

// Each stored modifier bit alone and together, on keys of every kind: the default (T with
// command + option), the action shortcut existing files keep (R), symbols and named keys.
TEST(StoredShortcut, EveryStoredBitAndKeyRoundTripsAndWhatTheOtherFormCannotSayIsNothing) {
    const struct {
        Values stored;
        QKeyCombination keys;
    } cases[] = {
        {{17, 2304}, QKeyCombination(meta | alt, Qt::Key_T)},
        {{15, 0x100}, QKeyCombination(meta, Qt::Key_R)},
        {{40, 0x200}, QKeyCombination(shift, Qt::Key_K)},
        {{29, 0x800}, QKeyCombination(alt, Qt::Key_0)},
        {{43, 0x1000}, QKeyCombination(ctrl, Qt::Key_Comma)},
        {{50, 0x1b00}, QKeyCombination(ctrl | alt | shift | meta, Qt::Key_QuoteLeft)},
        {{121, 0x1300}, QKeyCombination(ctrl | shift | meta, Qt::Key_PageDown)},
        {{49, 0}, QKeyCombination(none, Qt::Key_Space)},
        {{53, 0}, QKeyCombination(none, Qt::Key_Escape)},
        {{122, 0}, QKeyCombination(none, Qt::Key_F1)},
        {{111, 0}, QKeyCombination(none, Qt::Key_F12)},
    };
    for (const auto& [stored, keys] : cases) {
        EXPECT_EQ(StoredShortcut::toKeys(stored), keys) << stored.code << " " << stored.modifiers;
        EXPECT_EQ(StoredShortcut::fromKeys(keys), stored) << stored.code << " " << stored.modifiers;
    }
    // No two codes name one key.
    int named = 0;
    for (qint64 code = 0; code < 128; ++code) {
        if (const auto keys = StoredShortcut::toKeys({code, 0})) {
            ++named;
            EXPECT_EQ(StoredShortcut::fromKeys(*keys), (Values{code, 0})) << code;
        }
    }
    EXPECT_EQ(named, 73);

    for (const Values stored :
         {Values{10, 0x100}, // the ISO section key, not on the ANSI layout
          Values{76, 0x100}, // keypad Enter
          Values{-1, 0x100}, Values{qint64(1) << 32, 0x100}, Values{17, 0x400}, // Caps Lock's bit
          Values{17, 0x1}, Values{17, -1}, Values{17, qint64(1) << 32}})
        EXPECT_FALSE(StoredShortcut::toKeys(stored)) << stored.code << " " << stored.modifiers;
    for (const QKeyCombination keys :
         {QKeyCombination(meta, Qt::Key_Enter), QKeyCombination(meta, Qt::Key_VolumeUp),
          QKeyCombination(meta, Qt::Key_Exclam), QKeyCombination(meta, Qt::Key_unknown),
          QKeyCombination(meta | Qt::KeypadModifier, Qt::Key_1),
          QKeyCombination(meta | Qt::GroupSwitchModifier, Qt::Key_T)})
        EXPECT_FALSE(StoredShortcut::fromKeys(keys)) << keys.toCombined();
}

} // namespace
