#include "fakes/fake_hotkey_service.h"
#include "settings/prefs.h"
#include "shortcuts/global_hot_key.h"
#include "shortcuts/hot_key_formatter.h"
#include "shortcuts/shortcut_recording.h"
#include "support/settings_fixture.h"

#include <gtest/gtest.h>
#include <memory>

using namespace ovra;
using namespace Qt::StringLiterals;
using Kind = RecordedKeyPress::Kind;

TEST(HotKeyFormatter, DisplaysModifiersInFixedOrderThenKey) {
    EXPECT_EQ(HotKeyFormatter::displayString(17, 2304), u"Alt+Super+T"_s);
    EXPECT_EQ(HotKeyFormatter::displayString(40, 0x1000 + 0x200 + 0x100), u"Ctrl+Shift+Super+K"_s);
    EXPECT_EQ(HotKeyFormatter::displayString(0, 0x1000 | 0x800 | 0x200 | 0x100),
              u"Ctrl+Alt+Shift+Super+A"_s);
    EXPECT_EQ(HotKeyFormatter::displayString(49, 0), u"Space"_s);
    EXPECT_EQ(HotKeyFormatter::displayString(121, 0x200), u"Shift+Page Down"_s);
    // Bits that are no modifier are not shown.
    EXPECT_EQ(HotKeyFormatter::displayString(17, 0x100 | 0x1 | 0x400), u"Super+T"_s);
}

TEST(HotKeyFormatter, NamesKeysFromBothTablesElseByNumber) {
    EXPECT_EQ(HotKeyFormatter::keyName(10), u"Tecla 10"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(65), u"Tecla 65"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(-3), u"Tecla -3"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(42), u"\\"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(50), u"`"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(111), u"F12"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(53), u"Escape"_s);
    EXPECT_EQ(HotKeyFormatter::keyName(121), u"Page Down"_s);
}

TEST(HotKeyFormatter, CarbonModifiersFromQtModifiers) {
    EXPECT_EQ(HotKeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::ShiftModifier), 768u);
    EXPECT_EQ(HotKeyFormatter::carbonModifiers(Qt::ControlModifier | Qt::AltModifier), 0x1800u);
    EXPECT_EQ(HotKeyFormatter::carbonModifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
}

TEST(ShortcutRecording, EveryNamedKeyMapsBackToItsName) {
    // Each Qt key that maps must land on a code whose name is that key's character.
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
        const auto code = ShortcutRecording::virtualKeyCode(key);
        ASSERT_TRUE(code);
        EXPECT_EQ(HotKeyFormatter::keyName(*code), QString(QChar(key))) << key;
    }
    for (int key :
         {Qt::Key_0, Qt::Key_5, Qt::Key_9, Qt::Key_Minus, Qt::Key_Equal, Qt::Key_BracketLeft,
          Qt::Key_BracketRight, Qt::Key_Backslash, Qt::Key_Apostrophe, Qt::Key_Semicolon,
          Qt::Key_Period, Qt::Key_Slash, Qt::Key_QuoteLeft, Qt::Key_Comma}) {
        const auto code = ShortcutRecording::virtualKeyCode(key);
        ASSERT_TRUE(code) << key;
        EXPECT_EQ(HotKeyFormatter::keyName(*code), QString(QChar(key))) << key;
    }
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_Space), 49u);
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_F5), 96u);
    // Shifted symbols name the key they are typed on.
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_Exclam), 18u);
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_Question), 44u);
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_Meta), std::nullopt);
    EXPECT_EQ(ShortcutRecording::virtualKeyCode(Qt::Key_VolumeUp), std::nullopt);
}

TEST(ShortcutRecording, AppliesTheRecordingRules) {
    constexpr Qt::KeyboardModifiers none{}, ctrl = Qt::ControlModifier, alt = Qt::AltModifier,
                                            shift = Qt::ShiftModifier, super = Qt::MetaModifier;
    const RecordedKeyPress cancel{Kind::cancel}, ignore{Kind::ignore}, refuse{Kind::refuse};
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        RecordedKeyPress expected;
    } cases[] = {
        {Qt::Key_Escape, none, cancel},
        {Qt::Key_Escape, super, cancel},
        // Without Ctrl, Alt or Super a key is no shortcut.
        {Qt::Key_K, none, refuse},
        {Qt::Key_K, shift, refuse},
        {Qt::Key_F5, none, refuse},
        // The editing chords of every application stay theirs.
        {Qt::Key_A, ctrl, refuse},
        {Qt::Key_C, ctrl, refuse},
        {Qt::Key_V, ctrl, refuse},
        {Qt::Key_X, ctrl, refuse},
        {Qt::Key_Z, ctrl, refuse},
        {Qt::Key_Y, ctrl, refuse},
        {Qt::Key_S, ctrl, refuse},
        {Qt::Key_F, ctrl, refuse},
        {Qt::Key_C, ctrl | shift, refuse},
        {Qt::Key_V, ctrl | shift, refuse},
        {Qt::Key_Z, ctrl | shift, refuse},
        // The same keys in other chords are free.
        {Qt::Key_V, ctrl | alt, {Kind::record, 9, 0x1800}},
        {Qt::Key_V, super, {Kind::record, 9, 0x100}},
        {Qt::Key_A, ctrl | shift, {Kind::record, 0, 0x1200}},
        {Qt::Key_K, super | shift, {Kind::record, 40, 768}},
        {Qt::Key_T, alt | super, {Kind::record, 17, 2304}},
        {Qt::Key_Space, ctrl, {Kind::record, 49, 0x1000}},
        // The modifiers themselves, a key without a stored name or a keypad key go on.
        {Qt::Key_Meta, super, ignore},
        {Qt::Key_Alt, alt, ignore},
        {Qt::Key_Shift, shift, ignore},
        {Qt::Key_VolumeUp, ctrl, ignore},
        {Qt::Key_1, ctrl | Qt::KeypadModifier, ignore},
    };
    for (const auto& [key, modifiers, expected] : cases)
        EXPECT_EQ(ShortcutRecording::interpret(key, modifiers), expected)
            << key << " " << modifiers.toInt();
}

namespace {

class GlobalHotKeyTest : public ::testing::Test {
protected:
    test::TempSettings m_settings;
    Prefs& m_prefs = m_settings.prefs;
    test::FakeHotKeyService m_service;
    int m_triggers = 0;
};

using Combination = test::FakeHotKeyService::Combination;

} // namespace

TEST_F(GlobalHotKeyTest, RegistersTheStoredShortcutOnceAndTriggers) {
    GlobalHotKey hotKey(m_service, m_prefs, [this] { ++m_triggers; });
    EXPECT_TRUE(hotKey.registerHotKey());
    EXPECT_TRUE(hotKey.registerHotKey()); // already registered: nothing more installed
    ASSERT_EQ(m_service.registrations.size(), 1u);
    EXPECT_EQ(m_service.registrations[0], (Combination{17, 2304}));
    EXPECT_TRUE(m_service.press());
    EXPECT_EQ(m_triggers, 1);
}

TEST_F(GlobalHotKeyTest, RefusedShortcutLeavesNothingRegistered) {
    m_service.refuseNext = true;
    GlobalHotKey hotKey(m_service, m_prefs, [this] { ++m_triggers; });
    EXPECT_FALSE(hotKey.registerHotKey());
    EXPECT_FALSE(hotKey.isRegistered());
    hotKey.unregisterHotKey(); // nothing to release
    EXPECT_EQ(m_service.unregisterCount, 0);
    EXPECT_TRUE(hotKey.registerHotKey()); // a later try may succeed
}

TEST_F(GlobalHotKeyTest, OutOfRangeValuesOrAStoredEditingChordUseTheDefaultShortcut) {
    m_prefs.setHotKey(9, 0x1000); // Ctrl+V, kept by an earlier version
    EXPECT_EQ(StoredHotKey::fromPrefs(m_prefs), (StoredHotKey{17, 2304}));
    m_prefs.setHotKey(9, 0x1800); // Ctrl+Alt+V
    EXPECT_EQ(StoredHotKey::fromPrefs(m_prefs), (StoredHotKey{9, 0x1800}));
    m_prefs.setHotKey(-1, 0x100);
    EXPECT_EQ(StoredHotKey::fromPrefs(m_prefs), (StoredHotKey{17, 2304}));
    m_prefs.setHotKey(40, qint64(1) << 32);
    EXPECT_EQ(StoredHotKey::fromPrefs(m_prefs), (StoredHotKey{17, 2304}));
    m_prefs.setHotKey(0xFFFFFFFFLL, 0);
    EXPECT_EQ(StoredHotKey::fromPrefs(m_prefs), (StoredHotKey{0xFFFFFFFFu, 0}));

    m_prefs.setHotKey(qint64(5) << 40, 0x300);
    GlobalHotKey hotKey(m_service, m_prefs, [] {});
    ASSERT_TRUE(hotKey.registerHotKey());
    EXPECT_EQ(m_service.held, (Combination{17, 2304}));
}

TEST_F(GlobalHotKeyTest, PressAfterDestructionDoesNothing) {
    {
        GlobalHotKey hotKey(m_service, m_prefs, [this] { ++m_triggers; });
        ASSERT_TRUE(hotKey.registerHotKey());
    }
    EXPECT_FALSE(m_service.held); // released on destruction
    m_service.callback();         // a press already queued by the platform
    EXPECT_EQ(m_triggers, 0);
}
