#include "settings/catalogues.h"

#include "ovra/deployment_config.h"

#include <QLocale>

namespace ovra {

using namespace Qt::StringLiterals;

namespace {

QString https(const char* host, QStringView path) {
    return "https://"_L1 + QLatin1String(host) + path;
}

template <typename Enum> std::optional<Enum> parse(QStringView raw, const QList<Enum>& cases) {
    for (Enum value : cases)
        if (rawValue(value) == raw)
            return value;
    return std::nullopt;
}

} // namespace

std::optional<TargetLanguage> TargetLanguage::named(QStringView code) {
    for (const TargetLanguage& language : allCases())
        if (language.code == code)
            return language;
    return std::nullopt;
}

TargetLanguage TargetLanguage::portuguese() {
    return *named(u"pt");
}

QString rawValue(AppLanguage language) {
    switch (language) {
    case AppLanguage::portugues:
        return u"pt"_s;
    case AppLanguage::english:
        return u"en"_s;
    case AppLanguage::espanol:
        return u"es"_s;
    case AppLanguage::francais:
        return u"fr"_s;
    case AppLanguage::deutsch:
        return u"de"_s;
    case AppLanguage::italiano:
        return u"it"_s;
    }
    return u"pt"_s;
}

QString rawValue(AIProvider provider) {
    switch (provider) {
    case AIProvider::openai:
        return u"openai"_s;
    case AIProvider::google:
        return u"google"_s;
    case AIProvider::anthropic:
        return u"anthropic"_s;
    case AIProvider::openrouter:
        return u"openrouter"_s;
    case AIProvider::custom:
        return u"custom"_s;
    }
    return u"openai"_s;
}

QString rawValue(OnlineTranslationProvider provider) {
    return provider == OnlineTranslationProvider::google ? u"google"_s : u"ai"_s;
}

template <> const QList<AppLanguage>& allCases<AppLanguage>() {
    static const QList<AppLanguage> cases = {AppLanguage::portugues, AppLanguage::english,
                                             AppLanguage::espanol,   AppLanguage::francais,
                                             AppLanguage::deutsch,   AppLanguage::italiano};
    return cases;
}

template <> const QList<AIProvider>& allCases<AIProvider>() {
    static const QList<AIProvider> cases = {AIProvider::openai, AIProvider::google,
                                            AIProvider::anthropic, AIProvider::openrouter,
                                            AIProvider::custom};
    return cases;
}

template <> const QList<OnlineTranslationProvider>& allCases<OnlineTranslationProvider>() {
    static const QList<OnlineTranslationProvider> cases = {OnlineTranslationProvider::google,
                                                           OnlineTranslationProvider::ai};
    return cases;
}

template <> std::optional<AppLanguage> fromRawValue<AppLanguage>(QStringView raw) {
    return parse<AppLanguage>(raw, allCases<AppLanguage>());
}

template <> std::optional<AIProvider> fromRawValue<AIProvider>(QStringView raw) {
    return parse<AIProvider>(raw, allCases<AIProvider>());
}

template <>
std::optional<OnlineTranslationProvider> fromRawValue<OnlineTranslationProvider>(QStringView raw) {
    return parse<OnlineTranslationProvider>(raw, allCases<OnlineTranslationProvider>());
}

QString label(AppLanguage language) {
    switch (language) {
    case AppLanguage::portugues:
        return u"Português"_s;
    case AppLanguage::english:
        return u"English"_s;
    case AppLanguage::espanol:
        return u"Español"_s;
    case AppLanguage::francais:
        return u"Français"_s;
    case AppLanguage::deutsch:
        return u"Deutsch"_s;
    case AppLanguage::italiano:
        return u"Italiano"_s;
    }
    return {};
}

QString label(AIProvider provider) {
    switch (provider) {
    case AIProvider::openai:
        return u"OpenAI"_s;
    case AIProvider::google:
        return u"Google Gemini"_s;
    case AIProvider::anthropic:
        return u"Anthropic (Claude)"_s;
    case AIProvider::openrouter:
        return u"OpenRouter"_s;
    case AIProvider::custom:
        return u"Personalizado (qualquer compatível)"_s;
    }
    return {};
}

QString label(OnlineTranslationProvider provider) {
    return provider == OnlineTranslationProvider::google ? u"Google Tradutor"_s : u"IA online"_s;
}

QString defaultBaseURL(AIProvider provider) {
    switch (provider) {
    case AIProvider::openai:
    case AIProvider::custom:
        return https(deployment::openAIApiHost, u"/v1");
    case AIProvider::google:
        return https(deployment::geminiApiHost, u"/v1beta/openai/");
    case AIProvider::anthropic:
        return https(deployment::anthropicApiHost, u"/v1");
    case AIProvider::openrouter:
        return https(deployment::openRouterHost, u"/api/v1");
    }
    return {};
}

QString defaultModel(AIProvider provider) {
    switch (provider) {
    case AIProvider::openai:
    case AIProvider::custom:
        return u"gpt-4o-mini"_s;
    case AIProvider::google:
        return u"gemini-2.5-flash"_s;
    case AIProvider::anthropic:
        return u"claude-haiku-4-5"_s;
    case AIProvider::openrouter:
        return u"openai/gpt-4o-mini"_s;
    }
    return {};
}

std::optional<QString> keyPage(AIProvider provider) {
    switch (provider) {
    case AIProvider::openai:
        return https(deployment::openAIKeysHost, u"/api-keys");
    case AIProvider::google:
        return https(deployment::geminiKeysHost, u"/apikey");
    case AIProvider::anthropic:
        return https(deployment::anthropicKeysHost, u"/settings/keys");
    case AIProvider::openrouter:
        return https(deployment::openRouterHost, u"/keys");
    case AIProvider::custom:
        return std::nullopt;
    }
    return std::nullopt;
}

namespace AppLanguages {

AppLanguage systemDefault() {
    return systemDefault(QLocale::system().uiLanguages());
}

AppLanguage systemDefault(const QStringList& preferredLanguages) {
    for (const QString& tag : preferredLanguages) {
        const QString prefix = tag.left(2).toLower();
        if (const auto language = fromRawValue<AppLanguage>(prefix))
            return *language;
    }
    return AppLanguage::portugues;
}

} // namespace AppLanguages

} // namespace ovra
