#include "dialogs/preferences_model.h"
#include "fakes/fake_language_services.h"
#include "platform/linux/xdg_session_autostart.h"
#include "settings/defaults_store.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;
using ovra::platform::XdgSessionAutostart;

namespace {

class PreferencesModelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(u"defaults.json"_s)};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    FakeTranslationService translation;
    XdgSessionAutostart autostart{u"/usr/bin/ovra"_s};
    int posts = 0;
    std::unique_ptr<PreferencesModel> model = make();

    std::unique_ptr<PreferencesModel> make() {
        return std::make_unique<PreferencesModel>(prefs, translation, autostart,
                                                  [this] { ++posts; });
    }
};

// Recording itself (keys ignored, the combination stored and shown) is followed key by key through
// the preferences window in the widget tests.
TEST_F(PreferencesModelTest, EscapeCancelsAndRestoringTheDefaultPostsOnce) {
    EXPECT_FALSE(model->handleRecordingKey(Qt::Key_K, Qt::MetaModifier)); // not recording
    const QKeyCombination ctrlK(Qt::ControlModifier, Qt::Key_K);
    prefs.setHotKey(ctrlK);
    model->refreshShortcutDisplay();
    model->startRecording();
    // A refused chord is said, keeps the stored shortcut and lets recording go on.
    EXPECT_TRUE(model->handleRecordingKey(Qt::Key_V, Qt::ControlModifier));
    EXPECT_TRUE(model->isShortcutRefused());
    EXPECT_TRUE(model->isRecording());
    EXPECT_TRUE(model->handleRecordingKey(Qt::Key_Escape, Qt::ControlModifier));
    EXPECT_FALSE(model->isRecording());
    EXPECT_FALSE(model->isShortcutRefused());
    EXPECT_EQ(prefs.hotKey(), ctrlK);
    // Ctrl+V from an earlier version: never registered, nor shown
    const QKeyCombination ctrlV(Qt::ControlModifier, Qt::Key_V);
    prefs.setHotKey(ctrlV);
    model->refreshShortcutDisplay();
    EXPECT_EQ(model->shortcutDisplay(), QStringLiteral("Alt+Super+T"));
    EXPECT_EQ(prefs.hotKey(), ctrlV);
    EXPECT_EQ(posts, 0);

    model->restoreDefaultShortcut();
    EXPECT_FALSE(prefs.defaults().contains(Prefs::Keys::hotKeyCode));
    EXPECT_EQ(model->shortcutDisplay(), u"Alt+Super+T"_s);
    EXPECT_TRUE(model->isDefaultShortcut());
    EXPECT_EQ(posts, 1);
}

// Showing the view then looks at every pack from that base, and hiding it stops that.
TEST_F(PreferencesModelTest, TheInterfaceLanguageChangesNamesButNotThePackBase) {
    translation.availability[{u"pt"_s, u"es"_s}] = LanguageAvailabilityStatus::supported;
    prefs.setAppLanguage(AppLanguage::portugues);
    model = make();
    EXPECT_EQ(model->packBaseCode(), u"pt"_s);
    EXPECT_EQ(model->languageName(u"de"_s), u"Alemão"_s);
    int changes = 0;
    QObject::connect(model.get(), &PreferencesModel::appLanguageChanged, [&] { ++changes; });
    model->setAppLanguage(AppLanguage::deutsch);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(prefs.appLanguage(), AppLanguage::deutsch);
    EXPECT_EQ(model->languageName(u"de"_s), u"Deutsch"_s);
    EXPECT_EQ(model->languageName(u"xx"_s), u"xx"_s);
    EXPECT_EQ(model->packBaseCode(), u"pt"_s);

    model->viewShown();
    for (int i = 0; i < 50 && model->packs().packStatuses().size() < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(model->packs().packStatuses().size(), 20u);
    EXPECT_EQ(model->packStatus(u"pt"_s), PreferencesModel::PackStatus::installed);
    EXPECT_EQ(model->packStatus(u"es"_s), PreferencesModel::PackStatus::available);

    translation.holdPreparation = true;
    model->downloadPack(u"es"_s);
    EXPECT_EQ(model->packStatus(u"es"_s), PreferencesModel::PackStatus::downloading);
    model->viewHidden();
    model.reset(); // a refresh cut short touches nothing afterwards
    QCoreApplication::processEvents();
}

// The row follows the autostart entry in the test run's own XDG_CONFIG_HOME.
TEST_F(PreferencesModelTest, TheSessionStartRowWritesAndReadsTheAutostartEntry) {
    QFile::remove(XdgSessionAutostart::entryPath());
    QList<bool> reported;
    QObject::connect(model.get(), &PreferencesModel::startsWithSessionChanged,
                     [&](bool on) { reported.append(on); });

    model->setStartsWithSession(true);
    EXPECT_TRUE(model->startsWithSession());
    ASSERT_TRUE(QFile::remove(XdgSessionAutostart::entryPath())); // by hand: read afresh
    EXPECT_FALSE(model->startsWithSession());

    model->setStartsWithSession(true);
    model->setStartsWithSession(false);
    EXPECT_FALSE(QFile::exists(XdgSessionAutostart::entryPath()));
    EXPECT_EQ(reported, (QList<bool>{true, true, false}));
}

} // namespace

TEST_F(PreferencesModelTest, ADesktopThatKeepsTheShortcutIsExplainedAndTheExtensionEnabledOnce) {
    int notices = 0;
    QObject::connect(model.get(), &PreferencesModel::shortcutNoticeChanged, [&] { ++notices; });
    using Notice = PreferencesModel::ShortcutNotice;
    EXPECT_EQ(model->shortcutNotice(), Notice::none);
    model->setShortcutSetup({ShortcutSetup::Kind::bindInDesktopSettings, {}});
    EXPECT_EQ(model->shortcutNotice(), Notice::bindInSettings);
    model->enableShellExtension(); // nothing to enable there
    EXPECT_EQ(model->shortcutNotice(), Notice::bindInSettings);

    bool enables = false;
    int attempts = 0;
    model->setShortcutSetup({ShortcutSetup::Kind::needsShellExtension, [&] {
                                 ++attempts;
                                 return enables;
                             }});
    EXPECT_EQ(model->shortcutNotice(), Notice::needsExtension);
    model->enableShellExtension();
    EXPECT_EQ(model->shortcutNotice(), Notice::extensionFailed);
    enables = true;
    model->enableShellExtension(); // a failure may be tried again
    EXPECT_EQ(model->shortcutNotice(), Notice::extensionEnabled);
    model->enableShellExtension();
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(notices, 4);

    // A desktop portal that holds the shortcut after all ends the advice to bind it by hand.
    ShortcutHolder holder;
    model->setShortcutSetup({ShortcutSetup::Kind::bindInDesktopSettings, {}, &holder});
    holder.set(ShortcutHolder::Kind::desktopPortal, u"Ctrl+Alt+T"_s);
    EXPECT_EQ(model->shortcutNotice(), Notice::none);
    holder.set(ShortcutHolder::Kind::none);
    EXPECT_EQ(model->shortcutNotice(), Notice::bindInSettings);
}

// An action's shortcut is unset until recorded, follows the main one's rules, and is never one
// that the panel or another action holds.
TEST_F(PreferencesModelTest, ActionShortcutsFollowTheRulesAndAreNeverShared) {
    const auto press = [this](int key, Qt::KeyboardModifiers modifiers) {
        EXPECT_TRUE(model->handleRecordingKey(key, modifiers));
        return std::make_pair(model->isShortcutRefused(), model->isShortcutTaken());
    };
    using Result = std::pair<bool, bool>; // refused, taken
    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    EXPECT_EQ(model->actionShortcutDisplay(QuickAction::translateReplace), QString());

    model->startRecording(QuickAction::translateReplace);
    EXPECT_EQ(press(Qt::Key_T, Qt::AltModifier | Qt::MetaModifier), Result(true, true));
    EXPECT_EQ(press(Qt::Key_V, Qt::ControlModifier), Result(true, false));
    EXPECT_EQ(press(Qt::Key_R, ctrlAlt), Result(false, false));
    EXPECT_FALSE(model->isRecording());
    EXPECT_EQ(model->actionShortcutDisplay(QuickAction::translateReplace), u"Ctrl+Alt+R"_s);
    EXPECT_FALSE(prefs.defaults().contains(Prefs::Keys::hotKeyCode)); // the panel's is untouched
    EXPECT_EQ(posts, 1);

    model->startRecording(QuickAction::reviewReplace);
    EXPECT_EQ(press(Qt::Key_R, ctrlAlt), Result(true, true));
    model->stopRecording();
    model->startRecording();
    EXPECT_EQ(press(Qt::Key_R, ctrlAlt), Result(true, true));
    model->stopRecording();
    EXPECT_FALSE(prefs.actionHotKey(QuickAction::reviewReplace));

    model->clearActionShortcut(QuickAction::translateReplace);
    EXPECT_FALSE(prefs.actionHotKey(QuickAction::translateReplace));
    EXPECT_EQ(posts, 2);
}
