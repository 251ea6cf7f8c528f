#pragma once

#include "settings/catalogues.h"

#include <QKeyCombination>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ovra {

class Prefs;
class KeyStore;

// The application the user worked in last, other than this one.
struct ExternalApp {
    QString appId;
    QString name;
    bool operator==(const ExternalApp&) const = default;
};

// What a row of the status menu does when chosen.
enum class MenuAction {
    none,
    editUserName,
    requestAccessibility,
    selectTargetLanguage, // the row's `argument` is the language code
    showTranslationBox,
    openAISettings,
    openPreferences,
    ignoreCurrentApp,
    openIgnoredApps,
    openFeedback,
    showAbout,
    quitApp,
};

// One row of the status menu, as the tray draws it.
struct MenuRow {
    enum class Kind { item, separator };
    Kind kind = Kind::item;
    QString text;
    MenuAction action = MenuAction::none;
    bool enabled = false;
    bool checked = false;
    QString argument;      // the target-language code of a language row
    QString keyEquivalent; // "q" for quitting; empty otherwise
    QList<MenuRow> submenu;

    static MenuRow separator() { return {Kind::separator, {}, MenuAction::none, false}; }
    bool isSeparator() const { return kind == Kind::separator; }
};

// Everything the menu shows, read at the moment it opens.
struct StatusMenuState {
    std::optional<QString> userName;
    bool accessibilityEnabled = false;
    QKeyCombination hotKey;
    TargetLanguage targetLanguage;
    bool hasGoogleKey = false; // the user's key or the built-in one
    bool hasAIKey = false;     // a key for the selected AI provider
    std::optional<ExternalApp> lastExternalApp;
    bool lastExternalAppIgnored = false;
};

// The tray menu's rows, rebuilt each time the menu opens so that it reflects the current settings.
namespace StatusMenuModel {
StatusMenuState readState(const Prefs& prefs, KeyStore& keys, bool accessibilityEnabled,
                          const std::optional<ExternalApp>& lastExternalApp);
QList<MenuRow> rows(const StatusMenuState& state);
// One row per target language in catalogue order; the current one carries the check mark.
QList<MenuRow> targetLanguageRows(const TargetLanguage& current);
// Fills the "%@" placeholders of `format` one after another with `values`, as plain text.
QString fill(const QString& format, const QStringList& values);
// Replaces every "%@" of `format` with `value`, as plain text.
QString fillAll(const QString& format, const QString& value);
} // namespace StatusMenuModel

} // namespace ovra
