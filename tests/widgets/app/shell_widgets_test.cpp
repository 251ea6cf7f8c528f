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
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/window_") +
                         QLatin1String(name) + QStringLiteral(".png");
    EXPECT_TRUE(window->grab().save(path));
}

struct Installation {
    Installation() { Prefs::shared().setAppLanguage(AppLanguage::portugues); }
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, QStringLiteral("BUILTIN")};
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
            [] { return std::unique_ptr<SelectionMonitor>(); }, QStringLiteral("app.ovra.Ovra"),
            QStringLiteral("0.1.0")});
    }
};

QStringList actionTexts(const QMenu& menu) {
    QStringList out;
    for (QAction* action : menu.actions())
        out.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return out;
}

TEST(ShellWidgets, TheTrayMenuIsRebuiltEachTimeItOpensWithoutGrowingAndRunsItsCommands) {
    Installation setup;
    setup.fake.workspace.frontmost =
        RunningApplication{42, QStringLiteral("org.example.Editor"), QStringLiteral("Editor")};
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
    EXPECT_EQ(menu.actions().constLast()->text(), QStringLiteral("Sair"));
    EXPECT_EQ(menu.actions().constLast()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_FALSE(menu.actions()[2]->isEnabled()); // the accessibility state
    EXPECT_TRUE(menu.actions()[12]->isEnabled()); // "Ignorar este app (Editor)"

    // A changed name and shortcut show the next time the menu opens.
    setup.prefs.setUserName(QStringLiteral("Ana"));
    setup.prefs.setHotKey(40, 0x1300);
    Q_EMIT menu.aboutToShow();
    const QStringList texts = actionTexts(menu);
    ASSERT_EQ(texts.size(), 19);
    EXPECT_EQ(texts[0], QStringLiteral("Olá, Ana"));
    EXPECT_EQ(texts[7], QStringLiteral("Mostrar a caixa de tradução (Ctrl+Shift+Super+K)"));
    EXPECT_EQ(texts[9], QStringLiteral("Online: Google Tradutor ✓ · IA —"));
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
        QStringLiteral("Versão 0.1.0 — uso pessoal.")));
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
    EXPECT_EQ(setup.windows.dialogs().welcomeField()->placeholderText(),
              QStringLiteral("Seu nome"));
    snapshot(welcome, "welcome");
    setup.windows.dialogs().welcomeField()->setText(QStringLiteral("  Ana  "));
    welcome->findChild<QPushButton*>(QStringLiteral("first"))->click();
    EXPECT_FALSE(welcome->isVisible());
    EXPECT_EQ(setup.prefs.userName(), QStringLiteral("Ana"));
    EXPECT_EQ(setup.fake.accessibility.trustRequests, 1);

    delegate->editUserName();
    QDialog* edit = setup.windows.dialogs().editName();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(setup.windows.dialogs().editNameField()->text(), QStringLiteral("Ana"));
    snapshot(edit, "edit_name");
    setup.windows.dialogs().editNameField()->setText(QStringLiteral("Bia"));
    edit->findChild<QPushButton*>(QStringLiteral("second"))->click(); // Cancelar
    EXPECT_EQ(setup.prefs.userName(), QStringLiteral("Ana"));
    delegate->editUserName();
    EXPECT_EQ(setup.windows.dialogs().editName(), edit); // the same window, kept
    setup.windows.dialogs().editNameField()->setText(QStringLiteral(" Bia "));
    edit->findChild<QPushButton*>(QStringLiteral("first"))->click(); // Salvar
    EXPECT_EQ(setup.prefs.userName(), QStringLiteral("Bia"));
}

TEST(ShellWidgets, PreferencesShowPackFailuresRecordAShortcutAndSwitchLanguageAtOnce) {
    Installation setup;
    setup.translation.availability[{QStringLiteral("pt"), QStringLiteral("es")}] =
        LanguageAvailabilityStatus::supported;
    setup.translation.availability[{QStringLiteral("pt"), QStringLiteral("fr")}] =
        LanguageAvailabilityStatus::supported;
    const QString reason = QStringLiteral("Não é possível baixar pacotes de idioma: o PackageKit "
                                          "não está disponível neste sistema.");
    setup.translation.prepareFailures = {std::make_exception_ptr(Error(reason))};
    int posts = 0;
    PreferencesWindow controller(setup.prefs, setup.translation, setup.autostart, [&] { ++posts; });
    controller.show();
    QDialog* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ovra — Preferências"));
    for (int i = 0; i < 50 && controller.model()->packs().packStatuses().size() < 20; ++i)
        QCoreApplication::processEvents();
    auto* esRow = window->findChild<QWidget*>(QStringLiteral("pack-es"));
    ASSERT_NE(esRow, nullptr);
    auto* download = esRow->findChild<QPushButton*>(QStringLiteral("download"));
    EXPECT_FALSE(download->isHidden());
    EXPECT_EQ(download->text(), QStringLiteral("Baixar"));
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("pack-pt"))
                  ->findChild<QLabel*>(QStringLiteral("status"))
                  ->text(),
              QStringLiteral("Instalado ✓"));
    snapshot(window, "preferences");

    // A download that fails for a reason to read (no package service) says so on its row, beside
    // the button to try again, instead of a spinner that stops.
    auto* frRow = window->findChild<QWidget*>(QStringLiteral("pack-fr"));
    ASSERT_NE(frRow, nullptr);
    auto* frDownload = frRow->findChild<QPushButton*>(QStringLiteral("download"));
    frDownload->click();
    for (int i = 0; i < 50 && !frDownload->isVisibleTo(window); ++i)
        QCoreApplication::processEvents();
    auto* frStatus = frRow->findChild<QLabel*>(QStringLiteral("status"));
    EXPECT_TRUE(frStatus->isVisibleTo(window));
    EXPECT_EQ(frStatus->text(), reason);
    EXPECT_EQ(frStatus->textFormat(), Qt::PlainText);
    EXPECT_TRUE(frDownload->isVisibleTo(window));
    EXPECT_FALSE(frRow->findChild<QProgressBar*>()->isVisibleTo(window));
    snapshot(window, "preferences_pack_failed");

    auto* restore = window->findChild<QPushButton*>(QStringLiteral("restoreDefault"));
    EXPECT_TRUE(restore->isHidden());
    window->findChild<QPushButton*>(QStringLiteral("record"))->click();
    auto* recorder = window->findChild<QLabel*>(QStringLiteral("recording"));
    EXPECT_FALSE(recorder->isHidden());
    QTest::keyClick(recorder, Qt::Key_K);
    QTest::keyClick(recorder, Qt::Key_K, Qt::ShiftModifier);
    EXPECT_TRUE(controller.model()->isRecording());
    QTest::keyClick(recorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(controller.model()->isRecording());
    EXPECT_EQ(setup.prefs.hotKeyCode(), 40);
    EXPECT_EQ(setup.prefs.hotKeyModifiers(), 768);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("currentShortcut"))->text(),
              QStringLiteral("Atual: Shift+Super+K"));
    EXPECT_FALSE(restore->isHidden());
    // Key presses go to the window again once recording ended.
    QTest::keyClick(window, Qt::Key_L, Qt::MetaModifier);
    EXPECT_EQ(setup.prefs.hotKeyCode(), 40);
    // An action's row has a recorder of its own; the panel's combination is not for it.
    auto* actionRow = window->findChild<QWidget*>(QStringLiteral("action-translate-replace"));
    ASSERT_NE(actionRow, nullptr);
    EXPECT_EQ(actionRow->findChild<QLabel*>(QStringLiteral("shortcut"))->text(), u"Nenhum");
    actionRow->findChild<QPushButton*>(QStringLiteral("record"))->click();
    auto* actionRecorder = actionRow->findChild<QLabel*>(QStringLiteral("recording"));
    EXPECT_TRUE(recorder->isHidden());
    QTest::keyClick(actionRecorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("actionShortcutRefused"))->isHidden());
    QTest::keyClick(actionRecorder, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(actionRow->findChild<QLabel*>(QStringLiteral("shortcut"))->text(), u"Ctrl+Alt+R");
    EXPECT_EQ(posts, 2);

    auto* language = window->findChild<QComboBox*>(QStringLiteral("appLanguage"));
    const int english = language->findData(QStringLiteral("en"));
    language->setCurrentIndex(english);
    Q_EMIT language->activated(english);
    EXPECT_EQ(window->findChild<QPushButton*>(QStringLiteral("close"))->text(),
              QStringLiteral("Close"));
    EXPECT_EQ(download->text(), QStringLiteral("Download"));
    EXPECT_EQ(controller.model()->packBaseCode(), QStringLiteral("pt"));
    snapshot(window, "preferences_english");

    window->findChild<QPushButton*>(QStringLiteral("close"))->click();
    EXPECT_FALSE(window->isVisible());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());

    // The session-start row shows the autostart entry as it is each time the window opens.
    auto* session = window->findChild<QCheckBox*>(QStringLiteral("startWithSession"));
    ASSERT_NE(session, nullptr);
    session->click();
    EXPECT_TRUE(QFile::exists(platform::XdgSessionAutostart::entryPath()));
    window->hide();
    ASSERT_TRUE(QFile::remove(platform::XdgSessionAutostart::entryPath())); // by hand
    controller.show();
    EXPECT_FALSE(session->isChecked());
    // The offscreen platform has no tray: the window says how to come back to it.
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("noTrayNotice"))->isHidden());
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
    auto* record = window->findChild<QPushButton*>(QStringLiteral("record"));
    auto* refused = window->findChild<QLabel*>(QStringLiteral("shortcutRefused"));
    QLineEdit question; // a field of another window, as the panel's question field
    const auto startRecording = [&] {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        record->click();
        ASSERT_TRUE(model.isRecording());
        ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("recording"));
    };

    startRecording();
    // A key sent to another widget of the window is that widget's.
    QTest::keyClick(window->findChild<QComboBox*>(QStringLiteral("appLanguage")), Qt::Key_K,
                    Qt::MetaModifier);
    EXPECT_TRUE(model.isRecording());
    // An editing chord is refused under the field; the shortcut stays and recording goes on.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(refused->isVisibleTo(window));
    EXPECT_EQ(refused->text(),
              QStringLiteral("O atalho precisa de Ctrl, Alt ou Super e não pode ser um atalho de "
                             "edição (como Ctrl+C ou Ctrl+V). O atalho atual foi mantido."));
    EXPECT_TRUE(model.isRecording());
    snapshot(window, "preferences_shortcut_refused");

    // Another window taking the keyboard ends recording.
    question.show();
    question.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&question));
    EXPECT_FALSE(model.isRecording());
    EXPECT_FALSE(refused->isVisibleTo(window));
    QTest::keyClicks(&question, QStringLiteral("ab"));
    EXPECT_EQ(question.text(), QStringLiteral("ab"));

    // So does the window hiding, even with no other window to take the keyboard.
    startRecording();
    window->hide();
    EXPECT_FALSE(model.isRecording());
    QTest::keyClicks(&question, QStringLiteral("c"));
    EXPECT_EQ(question.text(), QStringLiteral("abc"));
    QTest::keyClick(&question, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(setup.prefs.hotKeyCode(), Prefs::defaultHotKeyCode);
    EXPECT_EQ(setup.prefs.hotKeyModifiers(), Prefs::defaultHotKeyModifiers);
}

} // namespace
