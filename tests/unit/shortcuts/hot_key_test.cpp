#include "fakes/fake_hotkey_service.h"
#include "settings/prefs.h"
#include "shortcuts/global_hot_key.h"
#include "shortcuts/hot_key_formatter.h"
#include "shortcuts/shortcut_recording.h"
#include "support/settings_fixture.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using Kind = RecordedKeyPress::Kind;

constexpr Qt::KeyboardModifiers none{}, ctrl = Qt::ControlModifier, alt = Qt::AltModifier,
                                        shift = Qt::ShiftModifier, super = Qt::MetaModifier;

TEST(HotKeyFormatter, DisplaysModifiersInFixedOrderAndRecordingAppliesItsRules) {
    for (const auto& [keys, text] : {
             std::pair{QKeyCombination(none, Qt::Key_Space), u"Space"_s},
             {QKeyCombination(super | shift | alt | ctrl, Qt::Key_A), u"Ctrl+Alt+Shift+Super+A"_s},
             {QKeyCombination(shift, Qt::Key_PageDown), u"Shift+Page Down"_s},
             {QKeyCombination(ctrl, Qt::Key_Backslash), u"Ctrl+\\"_s},
             {QKeyCombination(alt, Qt::Key_F12), u"Alt+F12"_s},
         })
        EXPECT_EQ(HotKeyFormatter::displayString(keys), text) << keys.toCombined();

    const auto record = [](Qt::KeyboardModifiers modifiers, Qt::Key key) {
        return RecordedKeyPress{Kind::record, QKeyCombination(modifiers, key)};
    };
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
        // The same keys in other chords are free.
        {Qt::Key_V, ctrl | alt, record(ctrl | alt, Qt::Key_V)},
        {Qt::Key_V, super, record(super, Qt::Key_V)},
        {Qt::Key_A, ctrl | shift, record(ctrl | shift, Qt::Key_A)},
        {Qt::Key_T, alt | super, record(alt | super, Qt::Key_T)},
        {Qt::Key_Space, ctrl, record(ctrl, Qt::Key_Space)},
        {Qt::Key_K, super | Qt::GroupSwitchModifier, record(super, Qt::Key_K)}, // AltGr adds none
        // A shifted symbol is the key it is typed on.
        {Qt::Key_Exclam, ctrl | shift, record(ctrl | shift, Qt::Key_1)},
        {Qt::Key_Question, super | shift, record(super | shift, Qt::Key_Slash)},
        {Qt::Key_AsciiTilde, super | shift, record(super | shift, Qt::Key_QuoteLeft)},
        {Qt::Key_Backtab, alt | shift, record(alt | shift, Qt::Key_Tab)},
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
    // The editing chords of every application stay theirs.
    for (const int key :
         {Qt::Key_A, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_Y, Qt::Key_S, Qt::Key_F})
        EXPECT_EQ(ShortcutRecording::interpret(key, ctrl), refuse) << key;
    for (const int key : {Qt::Key_C, Qt::Key_V, Qt::Key_Z})
        EXPECT_EQ(ShortcutRecording::interpret(key, ctrl | shift), refuse) << key;
}

namespace {

class GlobalHotKeyTest : public ::testing::Test {
protected:
    test::TempSettings m_settings;
    Prefs& m_prefs = m_settings.prefs;
    test::FakeHotKeyService m_service;
    int m_triggers = 0;
};

constexpr QKeyCombination defaultKeys(Qt::MetaModifier | Qt::AltModifier, Qt::Key_T);

} // namespace

TEST_F(GlobalHotKeyTest, RegistersTheStoredShortcutOrTheDefaultOnceTriggersAndReleasesIt) {
    m_service.refuseNext = true;
    auto hotKey = std::make_unique<GlobalHotKey>(m_service, m_prefs, [this] { ++m_triggers; });
    EXPECT_FALSE(hotKey->registerHotKey());
    EXPECT_FALSE(hotKey->isRegistered());
    hotKey->unregisterHotKey(); // nothing to release
    EXPECT_EQ(m_service.unregisterCount, 0);

    EXPECT_TRUE(hotKey->registerHotKey()); // a later try may succeed
    EXPECT_TRUE(hotKey->registerHotKey()); // already registered: nothing more installed
    ASSERT_EQ(m_service.registrations.size(), 1u);
    EXPECT_EQ(m_service.registrations[0], defaultKeys);
    EXPECT_TRUE(m_service.press());
    EXPECT_EQ(m_triggers, 1);

    hotKey.reset();
    EXPECT_FALSE(m_service.held); // released on destruction
    m_service.callback();         // a press already queued by the platform
    EXPECT_EQ(m_triggers, 1);

    // Stored values naming no shortcut, or an editing chord, give the default.
    const auto heldFor = [this](qint64 code, qint64 modifiers) {
        m_prefs.defaults().setInteger(Prefs::Keys::hotKeyCode, code);
        m_prefs.defaults().setInteger(Prefs::Keys::hotKeyModifiers, modifiers);
        return StoredHotKey::fromPrefs(m_prefs);
    };
    EXPECT_EQ(heldFor(9, 0x1000), defaultKeys); // Ctrl+V, kept by an earlier version
    EXPECT_EQ(heldFor(9, 0x1800),
              QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_V));
    EXPECT_EQ(heldFor(-1, 0x100), defaultKeys);
    EXPECT_EQ(heldFor(40, qint64(1) << 32), defaultKeys);

    heldFor(qint64(5) << 40, 0x300);
    GlobalHotKey fallback(m_service, m_prefs, [] {});
    ASSERT_TRUE(fallback.registerHotKey());
    EXPECT_EQ(m_service.held, defaultKeys);
}
