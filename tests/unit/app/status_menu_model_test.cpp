#include "app/status_menu_model.h"
#include "settings/prefs.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {

class StatusMenuTest : public ::testing::Test {
protected:
    void SetUp() override { Prefs::shared().setAppLanguage(AppLanguage::portugues); }

    static StatusMenuState state() {
        StatusMenuState s;
        s.accessibilityEnabled = true;
        s.hotKey = Prefs::defaultHotKey;
        s.targetLanguage = TargetLanguage::portuguese();
        return s;
    }

    static QStringList texts(const QList<MenuRow>& rows) {
        QStringList out;
        for (const MenuRow& row : rows)
            out.append(row.isSeparator() ? u"---"_s : row.text);
        return out;
    }
};

TEST_F(StatusMenuTest, ListsEveryRowWithItsStateTheIgnoreRowAndTheLanguageSubmenu) {
    StatusMenuState s = state();
    s.userName = QStringLiteral("%@ 100%"); // inserted as plain text
    s.hasGoogleKey = true;
    s.lastExternalApp = ExternalApp{u"org.example.Editor"_s, u"Editor"_s};
    const QList<MenuRow> rows = StatusMenuModel::rows(s);
    ASSERT_EQ(rows.size(), 19);
    EXPECT_EQ(
        texts(rows),
        (QStringList{u"Olá, %@ 100%"_s, u"Editar nome…"_s, u"---"_s,
                     u"Acessibilidade: concedida ✓"_s, u"Solicitar Acessibilidade…"_s, u"---"_s,
                     u"Traduzir para:"_s, u"Mostrar a caixa de tradução (Alt+Super+T)"_s, u"---"_s,
                     u"Online: Google Tradutor ✓ · IA —"_s, u"Configurar motores online…"_s,
                     u"Preferências…"_s, u"---"_s, u"Ignorar este app (Editor)"_s,
                     u"Apps ignorados…"_s, u"---"_s, u"Enviar feedback…"_s, u"Sobre o Ovra"_s,
                     u"Sair"_s}));
    const std::vector<bool> enabled{false, true,  false, false, true, false, true,
                                    true,  false, false, true,  true, false, true,
                                    true,  false, true,  true,  true};
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].enabled, enabled[std::size_t(i)]) << i;
    EXPECT_EQ(rows[13].action, MenuAction::ignoreCurrentApp);
    EXPECT_EQ(rows[18].action, MenuAction::quitApp);
    EXPECT_EQ(rows[18].keyEquivalent, u"q"_s);
    EXPECT_TRUE(rows[17].keyEquivalent.isEmpty());

    // No greeting without a name; the ignore row follows the last external application.
    s = state();
    s.accessibilityEnabled = false;
    s.hotKey =
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K);
    s.hasAIKey = true;
    QList<MenuRow> other = StatusMenuModel::rows(s);
    ASSERT_EQ(other.size(), 18); // no greeting without a name
    EXPECT_EQ(other[2].text, u"Acessibilidade: não concedida"_s);
    EXPECT_EQ(other[6].text, u"Mostrar a caixa de tradução (Ctrl+Shift+Super+K)"_s);
    EXPECT_EQ(other[8].text, u"Online: Google Tradutor — · IA ✓"_s);
    EXPECT_EQ(StatusMenuModel::fill(u"%@-%@"_s, {u"%@"_s}), u"%@-%@"_s);
    EXPECT_EQ(StatusMenuModel::fill(u"%@-%@"_s, {u"%@"_s, u"b"_s}), u"%@-b"_s);
    EXPECT_EQ(other[12].text, u"Ignorar este app"_s);
    EXPECT_FALSE(other[12].enabled);
    EXPECT_EQ(other[12].action, MenuAction::none);

    s.lastExternalApp = ExternalApp{u"org.example.Term"_s, u"Term"_s};
    s.lastExternalAppIgnored = true;
    other = StatusMenuModel::rows(s);
    EXPECT_EQ(other[12].text, u"Ignorar este app (Term)"_s);
    EXPECT_FALSE(other[12].enabled);

    s = state();
    s.targetLanguage = *TargetLanguage::named(u"ja"_s);
    const QList<MenuRow> languages = StatusMenuModel::rows(s)[5].submenu;
    ASSERT_EQ(languages.size(), TargetLanguage::allCases().size());
    int checked = 0;
    for (const MenuRow& row : languages) {
        EXPECT_EQ(row.action, MenuAction::selectTargetLanguage);
        if (row.checked) {
            ++checked;
            EXPECT_EQ(row.argument, u"ja"_s);
        }
    }
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(languages[0].argument, TargetLanguage::allCases()[0].code);
    EXPECT_EQ(languages[0].text, TargetLanguage::allCases()[0].displayName);

    // The rows follow the interface language.
    Prefs::shared().setAppLanguage(AppLanguage::english);
    const QList<MenuRow> english = StatusMenuModel::rows(state());
    EXPECT_EQ(english.constLast().text, u"Quit"_s);
    EXPECT_EQ(english[8].text, u"Online: Google Translate — · AI —"_s);
}

} // namespace
