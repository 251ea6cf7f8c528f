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
            out.append(row.isSeparator() ? QStringLiteral("---") : row.text);
        return out;
    }
};

TEST_F(StatusMenuTest, ListsEveryRowInOrderWithItsState) {
    StatusMenuState s = state();
    s.userName = QStringLiteral("Ana");
    s.hasGoogleKey = true;
    s.lastExternalApp = ExternalApp{QStringLiteral("org.example.Editor"), QStringLiteral("Editor")};
    const QList<MenuRow> rows = StatusMenuModel::rows(s);
    ASSERT_EQ(rows.size(), 19);
    EXPECT_EQ(
        texts(rows),
        (QStringList{QStringLiteral("Olá, Ana"), QStringLiteral("Editar nome…"),
                     QStringLiteral("---"), QStringLiteral("Acessibilidade: concedida ✓"),
                     QStringLiteral("Solicitar Acessibilidade…"), QStringLiteral("---"),
                     QStringLiteral("Traduzir para:"),
                     QStringLiteral("Mostrar a caixa de tradução (Alt+Super+T)"),
                     QStringLiteral("---"), QStringLiteral("Online: Google Tradutor ✓ · IA —"),
                     QStringLiteral("Configurar motores online…"), QStringLiteral("Preferências…"),
                     QStringLiteral("---"), QStringLiteral("Ignorar este app (Editor)"),
                     QStringLiteral("Apps ignorados…"), QStringLiteral("---"),
                     QStringLiteral("Enviar feedback…"), QStringLiteral("Sobre o Ovra"),
                     QStringLiteral("Sair")}));
    const std::vector<bool> enabled{false, true,  false, false, true, false, true,
                                    true,  false, false, true,  true, false, true,
                                    true,  false, true,  true,  true};
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].enabled, enabled[std::size_t(i)]) << i;
    EXPECT_EQ(rows[13].action, MenuAction::ignoreCurrentApp);
    EXPECT_EQ(rows[18].action, MenuAction::quitApp);
    EXPECT_EQ(rows[18].keyEquivalent, QStringLiteral("q"));
    EXPECT_TRUE(rows[17].keyEquivalent.isEmpty());
}

TEST_F(StatusMenuTest, TheIgnoreRowFollowsTheLastExternalApplication) {
    StatusMenuState s = state();
    s.accessibilityEnabled = false;
    QList<MenuRow> rows = StatusMenuModel::rows(s);
    ASSERT_EQ(rows.size(), 18); // no greeting without a name
    EXPECT_EQ(rows[2].text, QStringLiteral("Acessibilidade: não concedida"));
    EXPECT_EQ(rows[12].text, QStringLiteral("Ignorar este app"));
    EXPECT_FALSE(rows[12].enabled);
    EXPECT_EQ(rows[12].action, MenuAction::none);

    s.lastExternalApp = ExternalApp{QStringLiteral("org.example.Term"), QStringLiteral("Term")};
    s.lastExternalAppIgnored = true;
    rows = StatusMenuModel::rows(s);
    EXPECT_EQ(rows[12].text, QStringLiteral("Ignorar este app (Term)"));
    EXPECT_FALSE(rows[12].enabled);
}

TEST_F(StatusMenuTest, ValuesAreInsertedAsPlainText) {
    StatusMenuState s = state();
    s.userName = QStringLiteral("%@ 100%");
    s.hotKey =
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K);
    s.hasAIKey = true;
    const QList<MenuRow> rows = StatusMenuModel::rows(s);
    EXPECT_EQ(rows[0].text, QStringLiteral("Olá, %@ 100%"));
    EXPECT_EQ(rows[7].text, QStringLiteral("Mostrar a caixa de tradução (Ctrl+Shift+Super+K)"));
    EXPECT_EQ(rows[9].text, QStringLiteral("Online: Google Tradutor — · IA ✓"));
    EXPECT_EQ(StatusMenuModel::fill(QStringLiteral("%@-%@"), {QStringLiteral("%@")}),
              QStringLiteral("%@-%@"));
    EXPECT_EQ(StatusMenuModel::fill(QStringLiteral("%@-%@"), {QStringLiteral("%@"), u"b"_s}),
              QStringLiteral("%@-b"));
}

TEST_F(StatusMenuTest, TheLanguageSubmenuChecksOnlyTheCurrentTargetAndRowsFollowTheInterface) {
    StatusMenuState s = state();
    s.targetLanguage = *TargetLanguage::named(QStringLiteral("ja"));
    const QList<MenuRow> languages = StatusMenuModel::rows(s)[5].submenu;
    ASSERT_EQ(languages.size(), TargetLanguage::allCases().size());
    int checked = 0;
    for (const MenuRow& row : languages) {
        EXPECT_EQ(row.action, MenuAction::selectTargetLanguage);
        if (row.checked) {
            ++checked;
            EXPECT_EQ(row.argument, QStringLiteral("ja"));
        }
    }
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(languages[0].argument, TargetLanguage::allCases()[0].code);
    EXPECT_EQ(languages[0].text, TargetLanguage::allCases()[0].displayName);

    // The rows follow the interface language.
    Prefs::shared().setAppLanguage(AppLanguage::english);
    const QList<MenuRow> english = StatusMenuModel::rows(state());
    EXPECT_EQ(english.constLast().text, QStringLiteral("Quit"));
    EXPECT_EQ(english[8].text, QStringLiteral("Online: Google Translate — · AI —"));
}

} // namespace
