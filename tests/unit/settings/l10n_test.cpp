#include "settings/l10n.h"
#include "settings/l10n_tables.h"
#include "settings/prefs.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {
struct SharedAppLanguage : ::testing::Test {
    void TearDown() override { Prefs::shared().defaults().remove(Prefs::Keys::appLanguage); }
};

// Names and key symbols of another desktop: wrong on Linux in any language the program speaks.
const QRegularExpression foreignWords(uR"(\bMac\b|macOS|Apple|Keychain|[⌘⌥⌃⇧])"_s);
} // namespace

TEST(L10nTables, PortugueseIsCompleteTheOthersLackOnlyTheGoogleEngineAndSamplesAreExact) {
    const auto& base = L10n::detail::portuguese();
    EXPECT_EQ(base.size(), 92);
    for (const auto* table :
         {&L10n::detail::english(), &L10n::detail::spanish(), &L10n::detail::french(),
          &L10n::detail::german(), &L10n::detail::italian()}) {
        EXPECT_EQ(table->size(), 91);
        EXPECT_FALSE(table->contains(u"engine.google"_s));
        for (auto it = table->begin(); it != table->end(); ++it)
            EXPECT_TRUE(base.contains(it.key())) << it.key().toStdString();
    }

    EXPECT_EQ(L10n::string(u"panel.working"_s, AppLanguage::portugues), u"Trabalhando…"_s);
    EXPECT_EQ(L10n::string(u"panel.selectionTooLong"_s, AppLanguage::portugues),
              u"A seleção é longa demais para esta ação (máx. 100.000 caracteres)."_s);
    EXPECT_EQ(L10n::string(u"panel.copied"_s, AppLanguage::english), u"Copied ✓"_s);
    EXPECT_EQ(L10n::string(u"panel.replace"_s, AppLanguage::espanol), u"Reemplazar"_s);
    EXPECT_EQ(L10n::string(u"menu.translateTo"_s, AppLanguage::francais), u"Traduire vers :"_s);
    EXPECT_EQ(L10n::string(u"panel.close"_s, AppLanguage::deutsch), u"Schließen"_s);
    EXPECT_EQ(L10n::string(u"menu.about"_s, AppLanguage::italiano), u"Informazioni su Ovra"_s);
    EXPECT_EQ(L10n::string(u"prefs.recording"_s, AppLanguage::francais),
              u"Appuyez sur la combinaison… (Échap annule)"_s);
    for (auto language : allCases<AppLanguage>()) {
        EXPECT_TRUE(L10n::string(u"prefs.restoreDefault"_s, language).contains(u"(Alt+Super+T)"_s));
        EXPECT_EQ(L10n::string(u"menu.onlineStatus"_s, language).count(u"%@"_s), 2);
        EXPECT_EQ(L10n::string(u"menu.greeting"_s, language).count(u"%@"_s), 1);
        // The Google engine's name falls back to Portuguese everywhere.
        EXPECT_EQ(L10n::string(u"engine.google"_s, language), u"Google Tradutor"_s);
        // Unknown keys come back unchanged.
        EXPECT_EQ(L10n::string(u"panel.noSuchKey"_s, language), u"panel.noSuchKey"_s);
    }
}

TEST_F(SharedAppLanguage, FollowsTheStoredLanguageOnEveryCall) {
    Prefs::shared().setAppLanguage(AppLanguage::english);
    EXPECT_EQ(L10n::string(u"panel.copy"_s), u"Copy"_s);
    Prefs::shared().setAppLanguage(AppLanguage::francais);
    EXPECT_EQ(L10n::string(u"panel.copy"_s), u"Copier"_s);
    // An unknown stored language behaves like none: the system's preferred language decides.
    Prefs::shared().defaults().setString(Prefs::Keys::appLanguage, u"xx"_s);
    EXPECT_EQ(L10n::string(u"panel.copy"_s),
              L10n::string(u"panel.copy"_s, AppLanguages::systemDefault()));
}

// No interface text in any language names another desktop: the tables, the fixed texts (dialogs,
// hints, errors, shortcut names) all live in string literals; every literal of every source file
// is read.
TEST(PlatformWords, NoStringLiteralOfTheProgramNamesAnotherDesktop) {
    const QRegularExpression literal(uR"("(?:[^"\\\n]|\\.)*")"_s);
    int files = 0;
    QDirIterator it(QStringLiteral(OVRA_SOURCE_DIR), {u"*.cpp"_s, u"*.h"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        ++files;
        const QString source = QString::fromUtf8(file.readAll());
        for (const auto& match : literal.globalMatch(source)) {
            EXPECT_FALSE(foreignWords.match(match.captured()).hasMatch())
                << file.fileName().toStdString() << ": " << match.captured().toStdString();
        }
    }
    EXPECT_GT(files, 100);
}
