#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace ovra {

// One language a text can be translated into.
struct TargetLanguage {
    QString code;        // sent to translation services and stored under "targetLanguage"
    QString displayName; // Portuguese name shown in menus and pickers
    QString promptName;  // English name placed into instructions for language models

    const QString& id() const { return code; }
    bool operator==(const TargetLanguage&) const = default;

    // The 187 languages in display order.
    static const QList<TargetLanguage>& allCases();
    // The first language whose code is exactly `code` (case-sensitive).
    static std::optional<TargetLanguage> named(QStringView code);
    static TargetLanguage portuguese();
};

// Language of the user interface.
enum class AppLanguage { portugues, english, espanol, francais, deutsch, italiano };

// An online service answering OpenAI-shaped chat-completions requests.
enum class AIProvider { openai, google, anthropic, openrouter, custom };

// The service that performs online translation.
enum class OnlineTranslationProvider { google, ai };

// Raw values are what the settings store keeps; parsing is exact and case-sensitive.
QString rawValue(AppLanguage language);
QString rawValue(AIProvider provider);
QString rawValue(OnlineTranslationProvider provider);

template <typename Enum> std::optional<Enum> fromRawValue(QStringView raw);
template <> std::optional<AppLanguage> fromRawValue<AppLanguage>(QStringView raw);
template <> std::optional<AIProvider> fromRawValue<AIProvider>(QStringView raw);
template <>
std::optional<OnlineTranslationProvider> fromRawValue<OnlineTranslationProvider>(QStringView raw);

template <typename Enum> const QList<Enum>& allCases();
template <> const QList<AppLanguage>& allCases<AppLanguage>();
template <> const QList<AIProvider>& allCases<AIProvider>();
template <> const QList<OnlineTranslationProvider>& allCases<OnlineTranslationProvider>();

// Labels as shown in the windows (an interface language is always named in itself).
QString label(AppLanguage language);
QString label(AIProvider provider);
QString label(OnlineTranslationProvider provider);

// Provider defaults; hosts come from the deployment configuration.
QString defaultBaseURL(AIProvider provider);
QString defaultModel(AIProvider provider);
std::optional<QString> keyPage(AIProvider provider);

namespace AppLanguages {
// The first of the platform's preferred UI languages that is one of ours, else Portuguese.
AppLanguage systemDefault();
// The same rule over an explicit list of language tags, most preferred first.
AppLanguage systemDefault(const QStringList& preferredLanguages);
} // namespace AppLanguages

} // namespace ovra
