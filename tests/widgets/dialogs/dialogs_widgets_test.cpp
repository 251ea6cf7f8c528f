#include "app/widgets/no_key_warning_window.h"
#include "dialogs/ai_settings_model.h"
#include "dialogs/widgets/ai_settings_window.h"
#include "dialogs/widgets/feedback_window.h"
#include "dialogs/widgets/ignored_apps_window.h"
#include "fakes/fake_http_server.h"
#include "support/settings_fixture.h"
#include "support/virtual_clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

template <typename T> T* child(QWidget* window, const QString& name) {
    T* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

// Checks that the children named in `visible` show in `window` and those in `hidden` do not.
void expectShown(QWidget* window, const QString& visible, const QString& hidden = {}) {
    for (const auto& [names, expected] : {std::pair{visible, true}, std::pair{hidden, false}}) {
        for (const QString& name : names.split(u' ', Qt::SkipEmptyParts)) {
            QWidget* widget = window->findChild<QWidget*>(name);
            EXPECT_EQ(widget && widget->isVisibleTo(window), expected) << name.toStdString();
        }
    }
}

// The online engines window on fresh settings.
struct AISettingsWindowTest : ::testing::Test {
    test::TempSettings s;
    VirtualClock clock;
    AISettingsWindow controller{s.prefs, *s.keys, clock};
    QDialog* shownWindow() {
        controller.show();
        return controller.window();
    }
};

} // namespace

TEST(NoKeyWarningWindow, CheckboxIsStoredAndKeptAndReturnConfiguresAfterClosing) {
    test::TempSettings s;
    NoKeyWarningWindow controller(s.prefs);
    bool closedFirst = false;
    int configured = 0;
    QObject::connect(&controller, &NoKeyWarningWindow::configureNowRequested, [&] {
        ++configured;
        closedFirst = !controller.window()->isVisible();
    });
    controller.show();
    QDialog* window = controller.window();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), u"Ovra"_s);

    child<QCheckBox>(window, u"dontShowAgain"_s)->click();
    EXPECT_TRUE(s.prefs.suppressNoKeyWarning());
    window->close(); // the close box still keeps the choice
    EXPECT_TRUE(s.prefs.suppressNoKeyWarning());

    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(child<QCheckBox>(window, u"dontShowAgain"_s)->isChecked());
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(configured, 1);
    EXPECT_TRUE(closedFirst);

    controller.show();
    child<QPushButton>(window, u"notNow"_s)->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(configured, 1);
}

TEST_F(AISettingsWindowTest, SectionsFollowTheServiceAndTheWindowFitsWithTopKept) {
    QDialog* window = shownWindow();
    EXPECT_EQ(window->windowTitle(), u"Ovra — Motores online"_s);
    expectShown(window, u"googleSection embeddedNote"_s, u"aiSection removeGoogle"_s);
    EXPECT_EQ(child<QLineEdit>(window, u"googleKey"_s)->placeholderText(),
              u"Cole a sua chave (opcional)"_s);

    const QRect before = window->geometry();
    child<QPushButton>(window, u"service.ai"_s)->click();
    expectShown(window, u"aiSection"_s, u"googleSection"_s);
    // The stored setting changes only on save.
    EXPECT_EQ(s.prefs.onlineTranslationProvider(), OnlineTranslationProvider::google);
    clock.advance(39ms);
    EXPECT_EQ(window->geometry(), before);
    clock.advance(1ms);
    EXPECT_EQ(window->geometry().top(), before.top());
    // As tall as the content at the window's width (wrapped texts, such as the key file's path,
    // are measured at that width, not at their preferred one).
    ASSERT_TRUE(window->layout()->hasHeightForWidth());
    EXPECT_EQ(window->height(), window->layout()->totalHeightForWidth(window->width()));
    EXPECT_NE(window->height(), before.height());

    auto* provider = child<QComboBox>(window, u"aiProvider"_s);
    expectShown(window, u"baseURLText aiKeyLink"_s, u"baseURLField"_s);
    provider->setCurrentIndex(provider->findText(u"Personalizado (qualquer compatível)"_s));
    Q_EMIT provider->activated(provider->currentIndex());
    expectShown(window, u"baseURLField"_s, u"aiKeyLink"_s);
}

// A save that could not be written says so in red and keeps what was typed; the next that lands
// shows its marks, but never the key.
TEST_F(AISettingsWindowTest, SavingAKeyShowsItsMarksOrARedLineButNeverTheKey) {
    QDir().mkpath(s.keys->filePath()); // keys.json cannot be read, so it is not replaced
    QDialog* window = shownWindow();
    expectShown(window, QString(), u"saveFailedNote"_s);
    auto* field = child<QLineEdit>(window, u"googleKey"_s);
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    QTest::keyClicks(field, u"my-google-key"_s);
    auto* save = child<QPushButton>(window, u"save"_s);
    save->click();
    expectShown(window, u"saveFailedNote"_s, u"savedNote"_s);
    EXPECT_EQ(field->text(), u"my-google-key"_s);
    EXPECT_EQ(child<QLabel>(window, u"saveFailedNote"_s)->text(),
              AISettingsModel::saveFailureText());

    QDir(s.keys->filePath()).removeRecursively();
    save->click();
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(field->placeholderText(), u"Nova chave (vazio mantém a atual)"_s);
    expectShown(window, u"googleSaved removeGoogle savedNote"_s, u"saveFailedNote embeddedNote"_s);
    clock.advance(2000ms);
    expectShown(window, QString(), u"savedNote"_s);

    // Closing and showing again reloads and never fills the key in.
    window->close();
    controller.show();
    EXPECT_TRUE(child<QLineEdit>(window, u"googleKey"_s)->text().isEmpty());
    child<QPushButton>(window, u"removeGoogle"_s)->click();
    expectShown(window, QString(), u"removeGoogle"_s);
}

TEST(IgnoredAppsWindow, ListsRowsAndReactivates) {
    test::TempSettings s;
    const auto lookup = [](const QString& id) -> std::optional<QString> {
        if (id == u"org.gnome.TextEditor")
            return u"<b>Editor</b> de Texto"_s; // names come from outside: never markup
        return std::nullopt;
    };
    IgnoredAppsWindow controller(s.prefs, lookup);
    controller.show();
    QDialog* window = controller.window();
    EXPECT_EQ(window->windowTitle(), u"Ovra — Apps ignorados"_s);
    expectShown(window, u"emptyText"_s, u"reactivateAll"_s);

    s.prefs.ignore(u"org.gnome.TextEditor"_s, QString());
    s.prefs.ignore(u"com.example.Gone"_s, QString());
    window->close();
    controller.show();
    expectShown(window, QString(), u"emptyText"_s);
    QWidget* first = window->findChild<QWidget*>(u"row:org.gnome.TextEditor"_s);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(child<QLabel>(first, u"title"_s)->text(), u"<b>Editor</b> de Texto"_s);
    EXPECT_EQ(child<QLabel>(first, u"title"_s)->textFormat(), Qt::PlainText);
    EXPECT_EQ(child<QLabel>(first, u"appId"_s)->textFormat(), Qt::PlainText);
    QWidget* second = window->findChild<QWidget*>(u"row:com.example.Gone"_s);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(child<QLabel>(second, u"title"_s)->text(), u"com.example.Gone"_s);
    EXPECT_EQ(child<QLabel>(second, u"appId"_s)->text(), u"com.example.Gone"_s);

    const int twoRowsHeight = window->sizeHint().height();
    child<QPushButton>(first, u"reactivate"_s)->click();
    EXPECT_EQ(window->findChild<QWidget*>(u"row:org.gnome.TextEditor"_s), nullptr);
    EXPECT_NE(window->findChild<QWidget*>(u"row:com.example.Gone"_s), nullptr);
    EXPECT_LT(window->sizeHint().height(), twoRowsHeight);

    child<QPushButton>(window, u"reactivateAll"_s)->click();
    expectShown(window, u"emptyText"_s);
}

TEST(FeedbackWindow, FailureKeepsTheMessageAndShowsItInRed) {
    test::TempSettings s;
    s.prefs.setUserName(u"Ana"_s);
    test::FakeHttpServer server;
    server.setDefault({500, {}, "text/plain"});
    FeedbackWindow controller(s.prefs, server.url().toString(QUrl::StripTrailingSlash));
    controller.show();
    QDialog* window = controller.window();
    EXPECT_EQ(window->windowTitle(), u"Ovra — Feedback"_s);
    EXPECT_EQ(child<QLineEdit>(window, u"name"_s)->text(), u"Ana"_s);
    auto* send = child<QPushButton>(window, u"send"_s);
    auto* message = child<QPlainTextEdit>(window, u"message"_s);
    EXPECT_FALSE(send->isEnabled());
    QTest::keyClicks(message, u"   "_s);
    EXPECT_FALSE(send->isEnabled());
    message->setPlainText(u"O painel não abriu no editor."_s);
    EXPECT_TRUE(send->isEnabled());

    send->click();
    EXPECT_EQ(send->text(), u"Enviando…"_s);
    EXPECT_FALSE(send->isEnabled());
    QSignalSpy spy(controller.model(), &FeedbackModel::changed);
    while (controller.model()->state() == FeedbackModel::SendState::sending)
        ASSERT_TRUE(spy.wait(10'000));

    auto* status = child<QLabel>(window, u"status"_s);
    EXPECT_EQ(status->text(), u"Não foi possível enviar agora. Sua mensagem ficou guardada aqui — "
                              "tente de novo."_s);
    EXPECT_TRUE(status->styleSheet().contains(u"#c62828"_s));
    EXPECT_EQ(message->toPlainText(), u"O painel não abriu no editor."_s);
    EXPECT_EQ(send->text(), u"Enviar"_s);

    // The unsent message survives closing and reopening.
    window->close();
    controller.show();
    EXPECT_EQ(message->toPlainText(), u"O painel não abriu no editor."_s);
}
