#include "app/app_delegate.h"
#include "app/widgets/app_windows.h"
#include "app/widgets/tray_icon.h"
#include "capture/selection_monitor.h"
#include "dialogs/preferences_model.h"
#include "dialogs/widgets/ai_settings_window.h"
#include "dialogs/widgets/preferences_window.h"
#include "fakes/fake_capture_platform.h"
#include "fakes/fake_hotkey_service.h"
#include "fakes/fake_language_services.h"
#include "panel/panel_controller.h"
#include "platform/linux/xdg_session_autostart.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/errors.h"
#include "support/virtual_clock.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

// Checks, once a relabelled window has settled its layout, that nothing it shows is cut off.
void expectNothingCutOff(QWidget* window, const char* name) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (QLayout* layout = window->layout())
        layout->activate();
    QCoreApplication::processEvents();
    const auto scrolls = [window](const QWidget* part) {
        for (const QWidget* up = part->parentWidget(); up && up != window; up = up->parentWidget())
            if (qobject_cast<const QAbstractScrollArea*>(up))
                return true;
        return false;
    };
    for (const QWidget* part : window->findChildren<QWidget*>()) {
        if (!part->isVisibleTo(window) || part->isWindow() || scrolls(part))
            continue;
        const QRect inWindow(part->mapTo(window, QPoint(0, 0)), part->size());
        EXPECT_TRUE(window->rect().contains(inWindow))
            << name << ": " << part->objectName().toStdString() << " "
            << part->metaObject()->className();
    }
}

struct Installation {
    Installation() { Prefs::shared().setAppLanguage(AppLanguage::portugues); }
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(u"defaults.json"_s)};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    KeyStore keys{dir.filePath(u"keys.json"_s), prefs, u"BUILTIN"_s};
    VirtualClock clock;
    FakeCapturePlatform fake;
    FakeHotKeyService hotKeys;
    FakeTranslationService translation;
    platform::XdgSessionAutostart autostart{QStringLiteral("/usr/bin/ovra")};
    int quits = 0;
    AppWindows windows{{prefs, keys, clock, translation, autostart, {}, [this] { ++quits; }}};

    std::unique_ptr<AppDelegate> delegate() {
        return std::make_unique<AppDelegate>(AppDelegate::Dependencies{
            prefs, keys, clock, fake.workspace, fake.accessibility, hotKeys, windows,
            [] { return std::unique_ptr<PanelController>(); },
            [] { return std::unique_ptr<SelectionMonitor>(); }, u"app.ovra.Ovra"_s, u"0.1.0"_s});
    }
};

// Each action shows its row as the menu was read at this opening, submenus included.
void expectRows(const QMenu& menu, const QList<MenuRow>& rows) {
    ASSERT_EQ(menu.actions().size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QAction* action = menu.actions()[i];
        const MenuRow& row = rows[i];
        EXPECT_EQ(action->isSeparator(), row.isSeparator()) << i;
        EXPECT_EQ(action->text(), row.text) << i;
        EXPECT_EQ(action->isEnabled(), row.isSeparator() || row.enabled) << i;
        EXPECT_EQ(action->isChecked(), row.checked) << i;
        if (action->menu())
            expectRows(*action->menu(), row.submenu);
    }
}

TEST(ShellWidgets, TheTrayMenuIsRebuiltEachTimeItOpensWithoutGrowingAndRunsItsCommands) {
    Installation setup;
    setup.fake.workspace.frontmost = RunningApplication{42, u"org.example.Editor"_s, u"Editor"_s};
    auto delegate = setup.delegate();
    delegate->start();
    ASSERT_NE(setup.windows.trayIcon(), nullptr);
    QMenu& menu = setup.windows.trayIcon()->menu();
    setup.prefs.setUserName(QStringLiteral("Ana")); // shows the next time the menu opens
    // Each opening rebuilds the menu with its 187-language submenu; the old one must go.
    Q_EMIT menu.aboutToShow();
    const qsizetype once = menu.findChildren<QObject*>().size();
    for (int i = 0; i < 50; ++i)
        Q_EMIT menu.aboutToShow();
    EXPECT_EQ(menu.findChildren<QObject*>().size(), once);
    expectRows(menu, delegate->menuRows());
    EXPECT_EQ(menu.actions().constLast()->shortcut(), QKeySequence(u"Ctrl+Q"_s));
    menu.adjustSize();
    expectNothingCutOff(&menu, "tray_menu");

    // Choosing a language stores it; every window command opens its window.
    menu.actions()[6]->menu()->actions().constLast()->trigger();
    EXPECT_EQ(setup.prefs.targetLanguage().code, TargetLanguage::allCases().constLast().code);
    for (const int window : {11, 10, 14, 16, 17}) // Preferências… to Sobre o Ovra
        menu.actions()[window]->trigger();
    setup.clock.runDue();
    ASSERT_NE(setup.windows.preferences(), nullptr);
    EXPECT_TRUE(setup.windows.preferences()->window()->isVisible());
    ASSERT_NE(setup.windows.aiSettings(), nullptr);
    EXPECT_TRUE(setup.windows.aiSettings()->window()->isVisible());
    EXPECT_NE(setup.windows.ignoredApps(), nullptr);
    EXPECT_NE(setup.windows.feedback(), nullptr);
    ASSERT_NE(setup.windows.dialogs().about(), nullptr);
    EXPECT_TRUE(setup.windows.dialogs().about()->informativeText().contains(
        u"Versão 0.1.0 — uso pessoal."_s));
    expectNothingCutOff(setup.windows.dialogs().about(), "about");
    menu.actions()[18]->trigger();
    EXPECT_EQ(setup.quits, 1);
}

TEST(ShellWidgets, TheWelcomeAndNameAlertsStoreTheName) {
    Installation setup;
    setup.fake.accessibility.trusted = false;
    auto delegate = setup.delegate();
    delegate->start();
    setup.clock.advance(std::chrono::milliseconds(400));
    QDialog* welcome = setup.windows.dialogs().welcome();
    ASSERT_NE(welcome, nullptr);
    expectNothingCutOff(welcome, "welcome");
    setup.windows.dialogs().welcomeField()->setText(u"Ana"_s);
    welcome->findChild<QPushButton*>(u"first"_s)->click();
    EXPECT_FALSE(welcome->isVisible());
    EXPECT_EQ(setup.prefs.userName(), u"Ana"_s);
    EXPECT_EQ(setup.fake.accessibility.trustRequests, 1);

    delegate->editUserName();
    QDialog* edit = setup.windows.dialogs().editName();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(setup.windows.dialogs().editNameField()->text(), u"Ana"_s);
    expectNothingCutOff(edit, "edit_name");
    setup.windows.dialogs().editNameField()->setText(u"Bia"_s);
    edit->findChild<QPushButton*>(u"second"_s)->click(); // Cancelar
    EXPECT_EQ(setup.prefs.userName(), u"Ana"_s);
    delegate->editUserName();
    EXPECT_EQ(setup.windows.dialogs().editName(), edit);                  // the same window, kept
    EXPECT_EQ(setup.windows.dialogs().editNameField()->text(), u"Ana"_s); // not what was cancelled
    setup.windows.dialogs().editNameField()->setText(u" Bia "_s);
    edit->findChild<QPushButton*>(u"first"_s)->click(); // Salvar
    EXPECT_EQ(setup.prefs.userName(), u"Bia"_s);
}

// Recording takes only the keys sent to the recorder and ends when the window hides or another
// window takes the keyboard: typing elsewhere afterwards, paste included, stays that field's own.
TEST(ShellWidgets, PreferencesShowPackFailuresRecordOnlyTheirOwnKeysAndSwitchLanguageAtOnce) {
    Installation setup;
    setup.translation.availability[{u"pt"_s, u"es"_s}] = LanguageAvailabilityStatus::supported;
    setup.translation.availability[{u"pt"_s, u"fr"_s}] = LanguageAvailabilityStatus::supported;
    const QString reason = u"Não é possível baixar pacotes de idioma: o PackageKit "
                           u"não está disponível neste sistema."_s;
    setup.translation.prepareFailures = {std::make_exception_ptr(Error(reason))};
    int posts = 0;
    PreferencesWindow controller(setup.prefs, setup.translation, setup.autostart, [&] { ++posts; });
    controller.show();
    QDialog* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    PreferencesModel& model = *controller.model();
    for (int i = 0; i < 50 && model.packs().packStatuses().size() < 20; ++i)
        QCoreApplication::processEvents();
    const auto row = [window](const QString& name) { return window->findChild<QWidget*>(name); };
    auto* download = row(u"pack-es"_s)->findChild<QPushButton*>(u"download"_s);
    EXPECT_FALSE(download->isHidden());
    EXPECT_EQ(row(u"pack-pt"_s)->findChild<QLabel*>(u"status"_s)->text(), u"Instalado ✓"_s);
    expectNothingCutOff(window, "preferences");

    // A download that fails for a reason to read (no package service) says so on its row, beside
    // the button to try again, instead of a spinner that stops.
    auto* frDownload = row(u"pack-fr"_s)->findChild<QPushButton*>(u"download"_s);
    frDownload->click();
    for (int i = 0; i < 50 && !frDownload->isVisibleTo(window); ++i)
        QCoreApplication::processEvents();
    auto* frStatus = row(u"pack-fr"_s)->findChild<QLabel*>(u"status"_s);
    EXPECT_TRUE(frStatus->isVisibleTo(window));
    EXPECT_EQ(frStatus->text(), reason);
    EXPECT_EQ(frStatus->textFormat(), Qt::PlainText);
    EXPECT_FALSE(row(u"pack-fr"_s)->findChild<QProgressBar*>()->isVisibleTo(window));
    expectNothingCutOff(window, "preferences_pack_failed");

    auto* record = window->findChild<QPushButton*>(u"record"_s);
    auto* refused = window->findChild<QLabel*>(u"shortcutRefused"_s);
    auto* restore = window->findChild<QPushButton*>(u"restoreDefault"_s);
    QLineEdit question; // a field of another window, as the panel's question field
    const auto startRecording = [&] {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        record->click();
        ASSERT_TRUE(model.isRecording());
        ASSERT_EQ(QApplication::focusWidget()->objectName(), u"recording"_s);
    };
    EXPECT_TRUE(restore->isHidden());
    startRecording();
    // A key sent to another widget of the window is that widget's.
    QTest::keyClick(window->findChild<QComboBox*>(u"appLanguage"_s), Qt::Key_K, Qt::MetaModifier);
    EXPECT_TRUE(model.isRecording());
    // An editing chord is refused under the field; the shortcut stays and recording goes on.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(refused->isVisibleTo(window));
    EXPECT_EQ(refused->text(),
              u"O atalho precisa de Ctrl, Alt ou Super e não pode ser um atalho de "
              u"edição (como Ctrl+C ou Ctrl+V). O atalho atual foi mantido."_s);
    expectNothingCutOff(window, "preferences_shortcut_refused");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(model.isRecording());
    const QKeyCombination shiftSuperK(Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K);
    EXPECT_EQ(setup.prefs.hotKey(), shiftSuperK);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(window->findChild<QLabel*>(u"currentShortcut"_s)->text(), u"Atual: Shift+Super+K"_s);
    EXPECT_FALSE(restore->isHidden());

    // Another window taking the keyboard ends recording.
    startRecording();
    question.show();
    question.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&question));
    EXPECT_FALSE(model.isRecording());
    EXPECT_FALSE(refused->isVisibleTo(window));
    QTest::keyClicks(&question, u"ab"_s);
    EXPECT_EQ(question.text(), u"ab"_s);
    // So does the window hiding, even with no other window to take the keyboard.
    startRecording();
    window->hide();
    EXPECT_FALSE(model.isRecording());
    QTest::keyClick(&question, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(setup.prefs.hotKey(), shiftSuperK);
    controller.show();
    EXPECT_EQ(controller.window(), window);

    // An action's row has a recorder of its own; the panel's combination is not for it.
    auto* actionRow = row(u"action-translate-replace"_s);
    actionRow->findChild<QPushButton*>(u"record"_s)->click();
    auto* actionRecorder = actionRow->findChild<QLabel*>(u"recording"_s);
    EXPECT_TRUE(window->findChild<QLabel*>(u"recording"_s)->isHidden()); // the panel's
    QTest::keyClick(actionRecorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(window->findChild<QLabel*>(u"actionShortcutRefused"_s)->isHidden());
    QTest::keyClick(actionRecorder, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(actionRow->findChild<QLabel*>(u"shortcut"_s)->text(), u"Ctrl+Alt+R");
    EXPECT_EQ(posts, 2);

    auto* language = window->findChild<QComboBox*>(u"appLanguage"_s);
    const int english = language->findData(u"en"_s);
    language->setCurrentIndex(english);
    Q_EMIT language->activated(english);
    EXPECT_EQ(download->text(), u"Download"_s);
    EXPECT_EQ(window->findChild<QPushButton*>(u"close"_s)->text(), u"Close"_s);
    EXPECT_EQ(model.packBaseCode(), u"pt"_s);
    expectNothingCutOff(window, "preferences_english");

    // The session-start row shows the autostart entry as it is each time the window opens.
    auto* session = window->findChild<QCheckBox*>(u"startWithSession"_s);
    session->click();
    EXPECT_TRUE(QFile::exists(platform::XdgSessionAutostart::entryPath()));
    window->findChild<QPushButton*>(u"close"_s)->click();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(QFile::remove(platform::XdgSessionAutostart::entryPath())); // by hand
    controller.show();
    EXPECT_FALSE(session->isChecked());
    // The offscreen platform has no tray: the window says how to come back to it.
    EXPECT_FALSE(window->findChild<QLabel*>(u"noTrayNotice"_s)->isHidden());
}

} // namespace
