#include "app/status_menu_model.h"

#include "settings/key_store.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "shortcuts/global_hot_key.h"
#include "shortcuts/hot_key_formatter.h"

namespace ovra::StatusMenuModel {

namespace {

QString text(const char* key) {
    return L10n::string(QString::fromLatin1(key));
}

MenuRow item(QString title, MenuAction action, bool enabled) {
    MenuRow row;
    row.text = std::move(title);
    row.action = action;
    row.enabled = enabled;
    return row;
}

bool isNonEmpty(const std::optional<QString>& value) {
    return value && !value->isEmpty();
}

} // namespace

QString fill(const QString& format, const QStringList& values) {
    static const QString placeholder = QStringLiteral("%@");
    QString result = format;
    qsizetype from = 0;
    for (const QString& value : values) {
        const qsizetype at = result.indexOf(placeholder, from);
        if (at < 0)
            break;
        result.replace(at, placeholder.size(), value);
        // Continue after the inserted value, so a "%@" inside it stays as typed.
        from = at + value.size();
    }
    return result;
}

QString fillAll(const QString& format, const QString& value) {
    return format.split(QStringLiteral("%@")).join(value);
}

StatusMenuState readState(const Prefs& prefs, KeyStore& keys, bool accessibilityEnabled,
                          const std::optional<ExternalApp>& lastExternalApp) {
    StatusMenuState state;
    state.userName = prefs.userName();
    state.accessibilityEnabled = accessibilityEnabled;
    state.hotKey = StoredHotKey::fromPrefs(prefs); // what is registered
    state.targetLanguage = prefs.targetLanguage();
    state.hasGoogleKey = isNonEmpty(keys.resolvedGoogleKey());
    state.hasAIKey = isNonEmpty(keys.aiAPIKey(prefs.aiProvider()));
    state.lastExternalApp = lastExternalApp;
    state.lastExternalAppIgnored = lastExternalApp && prefs.isIgnored(lastExternalApp->appId);
    return state;
}

QList<MenuRow> targetLanguageRows(const TargetLanguage& current) {
    QList<MenuRow> rows;
    for (const TargetLanguage& language : TargetLanguage::allCases()) {
        MenuRow row = item(language.displayName, MenuAction::selectTargetLanguage, true);
        row.argument = language.code;
        row.checked = language.code == current.code &&
                      language.displayName == current.displayName &&
                      language.promptName == current.promptName;
        rows.append(row);
    }
    return rows;
}

QList<MenuRow> rows(const StatusMenuState& state) {
    QList<MenuRow> rows;
    if (state.userName)
        rows.append(item(fillAll(text("menu.greeting"), *state.userName), MenuAction::none, false));
    rows.append(item(text("menu.editName"), MenuAction::editUserName, true));
    rows.append(MenuRow::separator());

    rows.append(item(text(state.accessibilityEnabled ? "menu.accessibilityGranted"
                                                     : "menu.accessibilityMissing"),
                     MenuAction::none, false));
    rows.append(item(text("menu.requestAccessibility"), MenuAction::requestAccessibility, true));
    rows.append(MenuRow::separator());

    MenuRow translateTo = item(text("menu.translateTo"), MenuAction::none, true);
    translateTo.submenu = targetLanguageRows(state.targetLanguage);
    rows.append(translateTo);
    const QString shortcut = HotKeyFormatter::displayString(state.hotKey);
    rows.append(
        item(fillAll(text("menu.showBox"), shortcut), MenuAction::showTranslationBox, true));
    rows.append(MenuRow::separator());

    const QString yes = QStringLiteral("✓");
    const QString no = QStringLiteral("—");
    rows.append(item(
        fill(text("menu.onlineStatus"), {state.hasGoogleKey ? yes : no, state.hasAIKey ? yes : no}),
        MenuAction::none, false));
    rows.append(item(text("menu.configureEngines"), MenuAction::openAISettings, true));
    rows.append(item(text("menu.preferences"), MenuAction::openPreferences, true));
    rows.append(MenuRow::separator());

    if (state.lastExternalApp) {
        rows.append(item(fillAll(text("menu.ignoreThisApp"), state.lastExternalApp->name),
                         MenuAction::ignoreCurrentApp, !state.lastExternalAppIgnored));
    } else {
        rows.append(item(text("menu.ignoreThisAppPlain"), MenuAction::none, false));
    }
    rows.append(item(text("menu.ignoredApps"), MenuAction::openIgnoredApps, true));
    rows.append(MenuRow::separator());

    rows.append(item(text("menu.feedback"), MenuAction::openFeedback, true));
    rows.append(item(text("menu.about"), MenuAction::showAbout, true));
    MenuRow quit = item(text("menu.quit"), MenuAction::quitApp, true);
    quit.keyEquivalent = QStringLiteral("q");
    rows.append(quit);
    return rows;
}

} // namespace ovra::StatusMenuModel
