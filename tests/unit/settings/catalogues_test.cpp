#include "settings/catalogues.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

TEST(TargetLanguages, HoldsAllLanguagesInDisplayOrderAndNamedMatchesExactCodesOnly) {
    const auto& all = TargetLanguage::allCases();
    ASSERT_EQ(all.size(), 187);
    QSet<QString> codes;
    for (const auto& language : all) {
        EXPECT_FALSE(language.displayName.isEmpty()) << language.code.toStdString();
        EXPECT_FALSE(language.promptName.isEmpty()) << language.code.toStdString();
        codes.insert(language.code);
    }
    EXPECT_EQ(codes.size(), 187);
    EXPECT_EQ(all.first(), (TargetLanguage{u"ab"_s, u"Abcázio"_s, u"Abkhaz"_s}));
    EXPECT_EQ(all.last(), (TargetLanguage{u"zu"_s, u"Zulu"_s, u"Zulu"_s}));
    // Irregular places are kept: Tsonga comes after Twi, Chuvash after Tsonga.
    const auto indexOf = [&](const QString& code) {
        for (qsizetype i = 0; i < all.size(); ++i)
            if (all[i].code == code)
                return i;
        return qsizetype(-1);
    };
    EXPECT_EQ(indexOf(u"ts"_s), indexOf(u"ak"_s) + 1);
    EXPECT_EQ(indexOf(u"cv"_s), indexOf(u"ts"_s) + 1);
    EXPECT_EQ(indexOf(u"jam"_s), indexOf(u"it"_s) + 1);

    for (const auto& [code, displayName, promptName] :
         {std::tuple{u"zh-CN", u"Chinês (simplificado)"_s, u"Chinese (Simplified)"_s},
          {u"ku", u"Curdo (Curmânji)"_s, u"Kurdish"_s},
          {u"ckb", u"Curdo (Sorani)"_s, u"Kurdish (Sorani)"_s},
          {u"mni-Mtei", u"Meiteilon (Manipuri)"_s, u"Meiteilon (Manipuri)"_s}}) {
        const auto language = TargetLanguage::named(code);
        ASSERT_TRUE(language) << QString::fromUtf16(code).toStdString();
        EXPECT_EQ(language->displayName, displayName);
        EXPECT_EQ(language->promptName, promptName);
    }
    EXPECT_FALSE(TargetLanguage::named(u"zh"));
    EXPECT_FALSE(TargetLanguage::named(u"ZH-CN"));
    EXPECT_FALSE(TargetLanguage::named(u""));
    EXPECT_EQ(TargetLanguage::portuguese().promptName, u"Portuguese"_s);
}

TEST(Enumerations, RawValuesParseExactlyProviderDefaultsUseHttpsAndTheSystemLanguageDecides) {
    EXPECT_FALSE(fromRawValue<AIProvider>(u"OpenAI"));
    EXPECT_EQ(fromRawValue<AIProvider>(u"openrouter"), AIProvider::openrouter);
    EXPECT_FALSE(fromRawValue<AppLanguage>(u"PT"));
    EXPECT_FALSE(fromRawValue<OnlineTranslationProvider>(u"Google"));
    for (auto provider : allCases<AIProvider>())
        EXPECT_EQ(fromRawValue<AIProvider>(rawValue(provider)), provider);
    for (auto language : allCases<AppLanguage>())
        EXPECT_EQ(fromRawValue<AppLanguage>(rawValue(language)), language);
    for (auto provider : allCases<OnlineTranslationProvider>())
        EXPECT_EQ(fromRawValue<OnlineTranslationProvider>(rawValue(provider)), provider);
    EXPECT_EQ(allCases<AIProvider>().size(), 5);
    EXPECT_EQ(label(AIProvider::custom), u"Personalizado (qualquer compatível)"_s);
    EXPECT_EQ(label(OnlineTranslationProvider::ai), u"IA online"_s);
    EXPECT_EQ(label(AppLanguage::francais), u"Français"_s);

    for (auto provider : allCases<AIProvider>()) {
        const QString url = defaultBaseURL(provider);
        EXPECT_TRUE(url.startsWith(u"https://"_s)) << url.toStdString();
        EXPECT_EQ(url.endsWith(u'/'), provider == AIProvider::google) << url.toStdString();
    }
    EXPECT_TRUE(defaultBaseURL(AIProvider::google).endsWith(u"/v1beta/openai/"_s));
    EXPECT_TRUE(defaultBaseURL(AIProvider::openrouter).endsWith(u"/api/v1"_s));
    EXPECT_EQ(defaultBaseURL(AIProvider::custom), defaultBaseURL(AIProvider::openai));
    EXPECT_EQ(defaultModel(AIProvider::openrouter), u"openai/gpt-4o-mini"_s);
    EXPECT_EQ(defaultModel(AIProvider::anthropic), u"claude-haiku-4-5"_s);
    EXPECT_FALSE(keyPage(AIProvider::custom));
    ASSERT_TRUE(keyPage(AIProvider::anthropic));
    EXPECT_TRUE(keyPage(AIProvider::anthropic)->endsWith(u"/settings/keys"_s));

    using AppLanguages::systemDefault;
    EXPECT_EQ(systemDefault({u"en-GB"_s, u"de-DE"_s}), AppLanguage::english);
    EXPECT_EQ(systemDefault({u"zh-Hans"_s, u"ja-JP"_s}), AppLanguage::portugues);
    EXPECT_EQ(systemDefault({u"PT-br"_s}), AppLanguage::portugues);
    EXPECT_EQ(systemDefault({u"d"_s, u"it"_s}), AppLanguage::italiano);
    EXPECT_EQ(systemDefault({u"ja"_s, u"fr-CA"_s, u"es"_s}), AppLanguage::francais);
    EXPECT_EQ(systemDefault(QStringList{}), AppLanguage::portugues);
}
