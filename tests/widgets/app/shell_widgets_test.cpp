#include "app/app_delegate.h"
#include "app/widgets/app_windows.h"
#include "app/widgets/tray_icon.h"
#include "capture/selection_monitor.h"
#include "dialogs/preferences_model.h"
#include "dialogs/widgets/ai_settings_window.h"
#include "dialogs/widgets/preferences_view.h"
#include "dialogs/widgets/preferences_window.h"
#include "fakes/fake_app_ui.h"
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

// Writes what the window looks like next to the test binary, once a relabelled window has
// settled its layout, and checks that nothing it shows is cut off.
void snapshot(QWidget* window, const char* name) {
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
    const QString path =
        QCoreApplication::applicationDirPath() + u"/window_"_s + QLatin1String(name) + u".png"_s;
    EXPECT_TRUE(window->grab().save(path));
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

QStringList actionTexts(const QMenu& menu) {
    QStringList out;
    for (QAction* action : menu.actions())
        out.append(action->isSeparator() ? u"---"_s : action->text());
    return out;
}

TEST(ShellWidgets, TheTrayMenuIsRebuiltEachTimeItOpensWithoutGrowingAndRunsItsCommands) {
    Installation setup;
    setup.fake.workspace.frontmost = RunningApplication{42, u"org.example.Editor"_s, u"Editor"_s};
    auto delegate = setup.delegate();
    delegate->start();
    ASSERT_NE(setup.windows.trayIcon(), nullptr);
    QMenu& menu = setup.windows.trayIcon()->menu();
    Q_EMIT menu.aboutToShow();
    // Each opening rebuilds the menu with its 187-language submenu; the old one must go.
    const qsizetype once = menu.findChildren<QObject*>().size();
    EXPECT_GT(once, 187);
    for (int i = 0; i < 50; ++i)
        Q_EMIT menu.aboutToShow();
    EXPECT_EQ(menu.findChildren<QObject*>().size(), once);
    EXPECT_EQ(menu.actions().size(), 18);
    EXPECT_EQ(menu.actions().constLast()->text(), u"Sair"_s);
    EXPECT_EQ(menu.actions().constLast()->shortcut(), QKeySequence(u"Ctrl+Q"_s));
    EXPECT_FALSE(menu.actions()[2]->isEnabled()); // the accessibility state
    EXPECT_TRUE(menu.actions()[12]->isEnabled()); // "Ignorar este app (Editor)"

    // A changed name shows the next time the menu opens.
    setup.prefs.setUserName(QStringLiteral("Ana"));
    Q_EMIT menu.aboutToShow();
    const QStringList texts = actionTexts(menu);
    ASSERT_EQ(texts.size(), 19);
    EXPECT_EQ(texts[0], u"Olá, Ana"_s);
    EXPECT_EQ(texts[8], u"---"_s);
    QMenu* languages = menu.actions()[6]->menu();
    ASSERT_NE(languages, nullptr);
    int checked = 0;
    for (QAction* action : languages->actions())
        checked += action->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    menu.adjustSize();
    snapshot(&menu, "tray_menu");

    // Choosing a language stores it; every window command opens its window.
    languages->actions().constLast()->trigger();
    EXPECT_EQ(setup.prefs.targetLanguage().code, TargetLanguage::allCases().constLast().code);
    menu.actions()[11]->trigger(); // Preferências…
    menu.actions()[10]->trigger(); // Configurar motores online…
    menu.actions()[14]->trigger(); // Apps ignorados…
    menu.actions()[16]->trigger(); // Enviar feedback…
    setup.clock.runDue();
    ASSERT_NE(setup.windows.preferences(), nullptr);
    EXPECT_TRUE(setup.windows.preferences()->window()->isVisible());
    ASSERT_NE(setup.windows.aiSettings(), nullptr);
    EXPECT_TRUE(setup.windows.aiSettings()->window()->isVisible());
    ASSERT_NE(setup.windows.ignoredApps(), nullptr);
    ASSERT_NE(setup.windows.feedback(), nullptr);
    menu.actions()[17]->trigger(); // Sobre o Ovra
    ASSERT_NE(setup.windows.dialogs().about(), nullptr);
    EXPECT_TRUE(setup.windows.dialogs().about()->informativeText().contains(
        u"Versão 0.1.0 — uso pessoal."_s));
    snapshot(setup.windows.dialogs().about(), "about");
    menu.actions()[18]->trigger();
    EXPECT_EQ(setup.quits, 1);
}

TEST(ShellWidgets, TheWelcomeAndNameAlertsStoreTheTrimmedName) {
    Installation setup;
    setup.fake.accessibility.trusted = false;
    auto delegate = setup.delegate();
    delegate->start();
    setup.clock.advance(std::chrono::milliseconds(400));
    QDialog* welcome = setup.windows.dialogs().welcome();
    ASSERT_NE(welcome, nullptr);
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_EQ(setup.windows.dialogs().welcomeField()->placeholderText(), u"Seu nome"_s);
    snapshot(welcome, "welcome");
    setup.windows.dialogs().welcomeField()->setText(u"  Ana  "_s);
    welcome->findChild<QPushButton*>(u"first"_s)->click();
    EXPECT_FALSE(welcome->isVisible());
    EXPECT_EQ(setup.prefs.userName(), u"Ana"_s);
    EXPECT_EQ(setup.fake.accessibility.trustRequests, 1);

    delegate->editUserName();
    QDialog* edit = setup.windows.dialogs().editName();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(setup.windows.dialogs().editNameField()->text(), u"Ana"_s);
    snapshot(edit, "edit_name");
    setup.windows.dialogs().editNameField()->setText(u"Bia"_s);
    edit->findChild<QPushButton*>(u"second"_s)->click(); // Cancelar
    EXPECT_EQ(setup.prefs.userName(), u"Ana"_s);
    delegate->editUserName();
    EXPECT_EQ(setup.windows.dialogs().editName(), edit); // the same window, kept
    setup.windows.dialogs().editNameField()->setText(u" Bia "_s);
    edit->findChild<QPushButton*>(u"first"_s)->click(); // Salvar
    EXPECT_EQ(setup.prefs.userName(), u"Bia"_s);
}

TEST(ShellWidgets, PreferencesShowPackFailuresRecordAShortcutAndSwitchLanguageAtOnce) {
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
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), u"Ovra — Preferências"_s);
    for (int i = 0; i < 50 && controller.model()->packs().packStatuses().size() < 20; ++i)
        QCoreApplication::processEvents();
    auto* esRow = window->findChild<QWidget*>(u"pack-es"_s);
    ASSERT_NE(esRow, nullptr);
    auto* download = esRow->findChild<QPushButton*>(u"download"_s);
    EXPECT_FALSE(download->isHidden());
    EXPECT_EQ(download->text(), u"Baixar"_s);
    EXPECT_EQ(window->findChild<QWidget*>(u"pack-pt"_s)->findChild<QLabel*>(u"status"_s)->text(),
              u"Instalado ✓"_s);
    snapshot(window, "preferences");

    // A download that fails for a reason to read (no package service) says so on its row, beside
    // the button to try again, instead of a spinner that stops.
    auto* frRow = window->findChild<QWidget*>(u"pack-fr"_s);
    ASSERT_NE(frRow, nullptr);
    auto* frDownload = frRow->findChild<QPushButton*>(u"download"_s);
    frDownload->click();
    for (int i = 0; i < 50 && !frDownload->isVisibleTo(window); ++i)
        QCoreApplication::processEvents();
    auto* frStatus = frRow->findChild<QLabel*>(u"status"_s);
    EXPECT_TRUE(frStatus->isVisibleTo(window));
    EXPECT_EQ(frStatus->text(), reason);
    EXPECT_EQ(frStatus->textFormat(), Qt::PlainText);
    EXPECT_TRUE(frDownload->isVisibleTo(window));
    EXPECT_FALSE(frRow->findChild<QProgressBar*>()->isVisibleTo(window));
    snapshot(window, "preferences_pack_failed");

    auto* restore = window->findChild<QPushButton*>(u"restoreDefault"_s);
    EXPECT_TRUE(restore->isHidden());
    window->findChild<QPushButton*>(u"record"_s)->click();
    auto* recorder = window->findChild<QLabel*>(u"recording"_s);
    EXPECT_FALSE(recorder->isHidden());
    QTest::keyClick(recorder, Qt::Key_K);
    QTest::keyClick(recorder, Qt::Key_K, Qt::ShiftModifier);
    EXPECT_TRUE(controller.model()->isRecording());
    QTest::keyClick(recorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(controller.model()->isRecording());
    const QKeyCombination shiftSuperK(Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K);
    EXPECT_EQ(setup.prefs.hotKey(), shiftSuperK);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(window->findChild<QLabel*>(u"currentShortcut"_s)->text(), u"Atual: Shift+Super+K"_s);
    EXPECT_FALSE(restore->isHidden());
    // Key presses go to the window again once recording ended.
    QTest::keyClick(window, Qt::Key_L, Qt::MetaModifier);
    EXPECT_EQ(setup.prefs.hotKey(), shiftSuperK);
    // An action's row has a recorder of its own; the panel's combination is not for it.
    auto* actionRow = window->findChild<QWidget*>(u"action-translate-replace"_s);
    ASSERT_NE(actionRow, nullptr);
    EXPECT_EQ(actionRow->findChild<QLabel*>(u"shortcut"_s)->text(), u"Nenhum");
    actionRow->findChild<QPushButton*>(u"record"_s)->click();
    auto* actionRecorder = actionRow->findChild<QLabel*>(u"recording"_s);
    EXPECT_TRUE(recorder->isHidden());
    QTest::keyClick(actionRecorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(window->findChild<QLabel*>(u"actionShortcutRefused"_s)->isHidden());
    QTest::keyClick(actionRecorder, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(actionRow->findChild<QLabel*>(u"shortcut"_s)->text(), u"Ctrl+Alt+R");
    EXPECT_EQ(posts, 2);

    auto* language = window->findChild<QComboBox*>(u"appLanguage"_s);
    const int english = language->findData(u"en"_s);
    language->setCurrentIndex(english);
    Q_EMIT language->activated(english);
    EXPECT_EQ(window->findChild<QPushButton*>(u"close"_s)->text(), u"Close"_s);
    EXPECT_EQ(download->text(), u"Download"_s);
    EXPECT_EQ(controller.model()->packBaseCode(), u"pt"_s);
    snapshot(window, "preferences_english");

    window->findChild<QPushButton*>(u"close"_s)->click();
    EXPECT_FALSE(window->isVisible());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());

    // The session-start row shows the autostart entry as it is each time the window opens.
    auto* session = window->findChild<QCheckBox*>(u"startWithSession"_s);
    ASSERT_NE(session, nullptr);
    session->click();
    EXPECT_TRUE(QFile::exists(platform::XdgSessionAutostart::entryPath()));
    window->hide();
    ASSERT_TRUE(QFile::remove(platform::XdgSessionAutostart::entryPath())); // by hand
    controller.show();
    EXPECT_FALSE(session->isChecked());
    // The offscreen platform has no tray: the window says how to come back to it.
    EXPECT_FALSE(window->findChild<QLabel*>(u"noTrayNotice"_s)->isHidden());
}

// Recording takes only the keys sent to the recorder and ends when the window hides or another
// window takes the keyboard: typing elsewhere afterwards, paste included, stays that field's own.
TEST(ShellWidgets, ShortcutRecordingTakesOnlyItsOwnKeysAndEndsWithTheWindow) {
    Installation setup;
    PreferencesWindow controller(setup.prefs, setup.translation, setup.autostart, [] {});
    controller.show();
    QDialog* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    PreferencesModel& model = *controller.model();
    auto* record = window->findChild<QPushButton*>(u"record"_s);
    auto* refused = window->findChild<QLabel*>(u"shortcutRefused"_s);
    QLineEdit question; // a field of another window, as the panel's question field
    const auto startRecording = [&] {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        record->click();
        ASSERT_TRUE(model.isRecording());
        ASSERT_EQ(QApplication::focusWidget()->objectName(), u"recording"_s);
    };

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
    EXPECT_TRUE(model.isRecording());
    snapshot(window, "preferences_shortcut_refused");

    // Another window taking the keyboard ends recording.
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
    QTest::keyClicks(&question, u"c"_s);
    EXPECT_EQ(question.text(), u"abc"_s);
    QTest::keyClick(&question, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(setup.prefs.hotKey(), Prefs::defaultHotKey);
}

} // namespace
