#include "dialogs/ai_settings_model.h"
#include "support/settings_fixture.h"
#include "support/virtual_clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

class AISettingsModelTest : public ::testing::Test {
protected:
    std::unique_ptr<AISettingsModel> makeModel() {
        return std::make_unique<AISettingsModel>(s.prefs, *s.keys, clock);
    }
    test::TempSettings s;
    VirtualClock clock;
};

} // namespace

TEST_F(AISettingsModelTest, StartsFromTheStoredSettingsAndRemovesOnlyTheCurrentProvidersKey) {
    s.prefs.setAIProvider(AIProvider::anthropic);
    s.prefs.setModel(AIProvider::anthropic, u"claude-x"_s);
    s.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai);
    s.keys->writeKey(u"k1"_s, KeyStore::aiAccount(AIProvider::openai));
    s.keys->writeKey(u"sk-secret"_s, KeyStore::aiAccount(AIProvider::anthropic));
    const auto model = makeModel();
    EXPECT_EQ(model->provider(), OnlineTranslationProvider::ai);
    EXPECT_EQ(model->aiProvider(), AIProvider::anthropic);
    EXPECT_EQ(model->model(), u"claude-x"_s);
    EXPECT_TRUE(model->hasAPIKey());
    EXPECT_FALSE(model->hasGoogleKey());
    EXPECT_EQ(model->apiKeyPlaceholder(), u"Nova chave (vazio mantém a atual)"_s);
    // The stored key is never read back into a field.
    EXPECT_TRUE(model->apiKeyInput().isEmpty());

    model->setAPIKeyInput(u"typed"_s);
    model->removeAIKey();
    EXPECT_FALSE(s.keys->aiAPIKey(AIProvider::anthropic));
    EXPECT_EQ(s.keys->aiAPIKey(AIProvider::openai), u"k1"_s);
    EXPECT_TRUE(model->apiKeyInput().isEmpty());
    EXPECT_FALSE(model->hasAPIKey());
    EXPECT_EQ(model->apiKeyPlaceholder(), u"Cole a chave de API"_s);
}

TEST_F(AISettingsModelTest, SwitchingProvidersKeepsUnsavedEditsAndSaveStoresThemTrimmed) {
    const auto model = makeModel();
    model->setModel(u"gpt-edited"_s);
    model->setAIProvider(AIProvider::anthropic);
    EXPECT_EQ(model->model(), u"claude-haiku-4-5"_s);
    model->setModel(u"claude-edited"_s);
    model->setAIProvider(AIProvider::openai);
    EXPECT_EQ(model->model(), u"gpt-edited"_s);
    // Nothing is stored before saving.
    EXPECT_FALSE(s.defaults.contains(u"onlineAIModel.openai"_s));

    model->save();
    EXPECT_EQ(s.defaults.string(u"onlineAIModel.openai"_s), u"gpt-edited"_s);
    EXPECT_EQ(s.defaults.string(u"onlineAIModel.anthropic"_s), u"claude-edited"_s);
    EXPECT_EQ(s.defaults.string(u"aiProvider"_s), u"openai"_s);
    EXPECT_EQ(s.defaults.string(u"onlineTranslationProvider"_s), u"google"_s);
    // Providers not touched are not written.
    EXPECT_FALSE(s.defaults.contains(u"onlineAIModel.google"_s));

    // A blank field is saved as the provider's default.
    model->setAIProvider(AIProvider::anthropic);
    model->setModel(u"  \n"_s);
    model->setAIProvider(AIProvider::custom);
    model->setBaseURL(u"  http://127.0.0.1:8080/v1 \n"_s);
    model->save();
    EXPECT_EQ(s.defaults.string(u"onlineAIModel.anthropic"_s), u"claude-haiku-4-5"_s);
    EXPECT_EQ(s.defaults.string(u"onlineAIBaseURL.custom"_s), u"http://127.0.0.1:8080/v1"_s);
    EXPECT_EQ(model->baseURL(), u"http://127.0.0.1:8080/v1"_s);
}

// A key typed for one provider is never saved under another.
TEST_F(AISettingsModelTest, SavingKeysStoresTrimmedKeysAndEmptyFieldsKeepStoredOnes) {
    s.keys->writeKey(u"old-google"_s, KeyStore::googleAccount);
    const auto model = makeModel();
    EXPECT_FALSE(model->usesEmbeddedGoogleKey());
    EXPECT_TRUE(model->googleExplanation().startsWith(u"Ative a Cloud Translation API"_s));
    model->setAPIKeyInput(u"sk-openai"_s);
    model->setAIProvider(AIProvider::openrouter);
    EXPECT_TRUE(model->apiKeyInput().isEmpty());
    model->setAIProvider(AIProvider::google);
    model->setAPIKeyInput(u"  gem-key\n"_s);
    model->save();
    EXPECT_EQ(s.keys->aiAPIKey(AIProvider::google), u"gem-key"_s);
    EXPECT_FALSE(s.keys->aiAPIKey(AIProvider::openai));
    EXPECT_FALSE(s.keys->aiAPIKey(AIProvider::openrouter));
    EXPECT_EQ(s.keys->googleAPIKey(), u"old-google"_s);
    EXPECT_TRUE(model->apiKeyInput().isEmpty());
    EXPECT_TRUE(model->hasAPIKey());

    model->save(); // both fields empty: nothing changes
    EXPECT_EQ(s.keys->aiAPIKey(AIProvider::google), u"gem-key"_s);
    EXPECT_EQ(s.keys->googleAPIKey(), u"old-google"_s);

    model->setGoogleKeyInput(u"new-google "_s);
    model->save();
    EXPECT_EQ(s.keys->googleAPIKey(), u"new-google"_s);
    EXPECT_TRUE(model->googleKeyInput().isEmpty());

    // Without a key of the user's, the built-in one is used and the section says so.
    model->removeGoogleKey();
    EXPECT_FALSE(s.keys->googleAPIKey());
    EXPECT_FALSE(model->hasGoogleKey());
    EXPECT_TRUE(model->usesEmbeddedGoogleKey());
    EXPECT_TRUE(model->googleExplanation().startsWith(u"A sua chave é opcional"_s));
}

TEST(AISettingsModelNoBuiltinKey, PlaceholderNamesTheServiceWithoutABuiltInKey) {
    test::TempSettings s{QString()};
    VirtualClock clock;
    AISettingsModel model(s.prefs, *s.keys, clock);
    EXPECT_FALSE(model.usesEmbeddedGoogleKey());
    EXPECT_EQ(model.googleKeyPlaceholder(), u"Chave do Google Tradutor (Cloud Translation)"_s);
    EXPECT_EQ(model.provider(), OnlineTranslationProvider::ai);
}

// Whether the keys or the settings could not be written, every save says so until one lands:
// a value held in memory is not a stored one.
TEST_F(AISettingsModelTest, AFailedSaveIsShownAtEverySaveAndWhatWasTypedIsKept) {
    const QStringList files{s.keys->filePath(), s.defaults.filePath()};
    for (const QString& blocked : files) {
        const QString edited = u"model-for-"_s + QFileInfo(blocked).fileName();
        // A folder stands where the file goes: it is never replaced, so no write can land.
        QFile::remove(blocked);
        ASSERT_TRUE(QDir().mkpath(blocked));
        const auto model = makeModel();
        model->setAPIKeyInput(u"sk-new"_s);
        model->setModel(edited);
        for (int attempt = 0; attempt < 2; ++attempt) {
            model->save();
            EXPECT_TRUE(model->saveFailed()) << blocked.toStdString() << attempt;
            EXPECT_FALSE(model->savedFeedback()) << blocked.toStdString() << attempt;
        }
        EXPECT_EQ(model->model(), edited);

        QDir(blocked).removeRecursively();
        model->save();
        EXPECT_FALSE(model->saveFailed());
        EXPECT_TRUE(model->savedFeedback());
        EXPECT_EQ(s.keys->aiAPIKey(AIProvider::openai), u"sk-new"_s);
        EXPECT_EQ(DefaultsStore(s.defaults.filePath()).string(u"onlineAIModel.openai"_s), edited);
    }
    EXPECT_EQ(AISettingsModel::saveFailureText(),
              u"Não foi possível salvar. Verifique o espaço em disco e as permissões da pasta."_s);
}

// The key goes to the address the window shows; one stored for a named provider is not shown.
// Only the custom provider's address is edited, and it has no page to get a key from.
TEST_F(AISettingsModelTest, TheAddressShownIsTheOneTheKeyGoesTo) {
    for (AIProvider provider : allCases<AIProvider>())
        s.prefs.setBaseURL(provider, u"https://elsewhere.example/v1"_s);
    const auto model = makeModel();
    EXPECT_TRUE(model->aiKeyPage());
    for (AIProvider provider : allCases<AIProvider>()) {
        model->setAIProvider(provider);
        const bool custom = provider == AIProvider::custom;
        EXPECT_EQ(model->isBaseURLEditable(), custom);
        EXPECT_TRUE(model->aiHint().startsWith(custom ? u"No modo Personalizado"_s
                                                      : u"O provedor escolhido"_s));
        if (custom) {
            EXPECT_FALSE(model->aiKeyPage());
        }
        const QString shown =
            model->isBaseURLEditable() ? model->baseURL() : model->defaultBaseURL();
        EXPECT_EQ(shown, s.prefs.baseURL(provider)) << rawValue(provider).toStdString();
    }
}

// Reload drops unsaved edits; the saved note lasts two seconds from its own save.
TEST_F(AISettingsModelTest, ReloadDropsUnsavedEditsAndTheSavedNoteLastsTwoSeconds) {
    auto model = makeModel();
    QSignalSpy providerSpy(model.get(), &AISettingsModel::providerChanged);
    model->setProvider(OnlineTranslationProvider::ai);
    model->setProvider(OnlineTranslationProvider::ai);
    EXPECT_EQ(providerSpy.count(), 1);
    model->setModel(u"edited"_s);
    model->setAIProvider(AIProvider::custom);
    model->setGoogleKeyInput(u"typed"_s);
    model->reload();
    EXPECT_EQ(model->provider(), OnlineTranslationProvider::google);
    EXPECT_EQ(model->aiProvider(), AIProvider::openai);
    EXPECT_EQ(model->model(), u"gpt-4o-mini"_s);
    EXPECT_TRUE(model->googleKeyInput().isEmpty());
    // The edit made before the reload is gone, even after switching providers.
    model->setAIProvider(AIProvider::custom);
    model->setAIProvider(AIProvider::openai);
    EXPECT_EQ(model->model(), u"gpt-4o-mini"_s);

    model->save();
    EXPECT_TRUE(model->savedFeedback());
    clock.advance(1500ms);
    model->save(); // sets it again; the first timer still ends it at 2 s
    clock.advance(499ms);
    EXPECT_TRUE(model->savedFeedback());
    clock.advance(1ms);
    EXPECT_FALSE(model->savedFeedback());

    // A note's timer outliving the model does nothing.
    model->save();
    model.reset();
    clock.advance(2000ms);
    EXPECT_FALSE(clock.hasPending());
}
