#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

using namespace ovra;
using namespace Qt::StringLiterals;
using json = nlohmann::json;

namespace {

class PrefsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(u"ovra/defaults.json"_s); }

    // A fresh store over whatever the file holds now, as at the next start.
    Prefs& reopen(std::optional<QString> googleKey = u"built-in"_s) {
        m_googleKey = std::move(googleKey);
        m_prefs.reset();
        m_store = std::make_unique<DefaultsStore>(path());
        m_prefs = std::make_unique<Prefs>(*m_store, [this] { return m_googleKey; });
        return *m_prefs;
    }

    void writeFile(const QByteArray& content) {
        QDir().mkpath(m_dir.filePath(u"ovra"_s));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    json fileContent() const {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return json::parse(file.readAll().toStdString());
    }

    QTemporaryDir m_dir;
    std::optional<QString> m_googleKey;
    std::unique_ptr<DefaultsStore> m_store;
    std::unique_ptr<Prefs> m_prefs;
};

} // namespace

// Nothing stored, or values of the wrong type or unknown: the defaults, every one.
TEST_F(PrefsTest, NothingStoredOrWrongTypesAndUnknownValuesReadAsDefaults) {
    Prefs& prefs = reopen();
    const auto expectDefaults = [&prefs] {
        EXPECT_EQ(prefs.aiProvider(), AIProvider::openai);
        EXPECT_EQ(prefs.onlineTranslationProvider(), OnlineTranslationProvider::google);
        EXPECT_EQ(prefs.targetLanguage().code, u"pt"_s);
        EXPECT_EQ(prefs.hotKey(), Prefs::defaultHotKey);
        EXPECT_FALSE(prefs.userName());
        EXPECT_TRUE(prefs.ignoredApps().isEmpty());
        EXPECT_FALSE(prefs.didShowWelcome());
        EXPECT_FALSE(prefs.suppressNoKeyWarning());
    };
    expectDefaults();
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";

    auto& store = prefs.defaults();
    store.setString(Prefs::Keys::hotKeyCode, u"17"_s);
    store.setRaw(Prefs::Keys::hotKeyModifiers, json::array({256}));
    store.setString(Prefs::Keys::aiProvider, u"OpenAI"_s);
    store.setString(Prefs::Keys::onlineTranslationProvider, u"deepl"_s);
    store.setInteger(Prefs::Keys::targetLanguage, 3);
    store.setString(Prefs::Keys::didShowWelcome, u"true"_s);
    store.setInteger(Prefs::Keys::suppressNoKeyWarning, 1);
    store.setInteger(Prefs::Keys::userName, 5);
    store.setRaw(Prefs::Keys::ignoredApps, json::array({json::object({{"bundleID", 5}})}));
    expectDefaults();

    // An old case name of a target language is understood but not rewritten; any other, unknown.
    store.setString(Prefs::Keys::targetLanguage, u"francais"_s);
    EXPECT_EQ(prefs.targetLanguage().code, u"fr"_s);
    EXPECT_EQ(fileContent()["targetLanguage"], "francais");
    store.setString(Prefs::Keys::targetLanguage, u"Francais"_s);
    EXPECT_EQ(prefs.targetLanguage().code, u"pt"_s);

    store.setInteger(Prefs::Keys::hotKeyCode, 0);
    store.setRaw(Prefs::Keys::hotKeyModifiers, 1.5);
    EXPECT_EQ(prefs.hotKey(), QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_A));

    // Without any Google key the default online translation goes through the AI.
    EXPECT_EQ(reopen(std::nullopt).onlineTranslationProvider(), OnlineTranslationProvider::ai);
    EXPECT_EQ(reopen(u""_s).onlineTranslationProvider(), OnlineTranslationProvider::ai);
}

TEST_F(PrefsTest, ValuesSurviveARestartWithTheirTypes) {
    Prefs& prefs = reopen();
    prefs.setAIProvider(AIProvider::openrouter);
    prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai);
    prefs.setTargetLanguage(*TargetLanguage::named(u"zh-TW"));
    prefs.setAppLanguage(AppLanguage::deutsch);
    prefs.setHotKey(QKeyCombination(Qt::ControlModifier, Qt::Key_A));
    prefs.setDidShowWelcome(true);
    prefs.setModel(AIProvider::openrouter, u"meta/llama"_s);

    Prefs& again = reopen();
    EXPECT_EQ(again.aiProvider(), AIProvider::openrouter);
    EXPECT_EQ(again.onlineTranslationProvider(), OnlineTranslationProvider::ai);
    EXPECT_EQ(again.targetLanguage().displayName, u"Chinês (tradicional)"_s);
    EXPECT_EQ(again.appLanguage(), AppLanguage::deutsch);
    EXPECT_EQ(again.hotKey(), QKeyCombination(Qt::ControlModifier, Qt::Key_A));
    EXPECT_TRUE(again.didShowWelcome());
    EXPECT_EQ(again.model(AIProvider::openrouter), u"meta/llama"_s);
    const json stored = fileContent();
    EXPECT_TRUE(stored["hotKeyCode"].is_number_integer());
    EXPECT_EQ(stored["hotKeyModifiers"], 4096);
    EXPECT_TRUE(stored["didShowWelcome"].is_boolean());
    EXPECT_EQ(stored["targetLanguage"], "zh-TW");

    again.resetHotKey();
    EXPECT_FALSE(fileContent().contains("hotKeyCode"));
    EXPECT_FALSE(fileContent().contains("hotKeyModifiers"));

    // A name is stored trimmed; a blank one, set or stored, is none.
    again.setUserName(u"  Ana Lúcia \n"_s);
    EXPECT_EQ(fileContent()["userName"], "Ana Lúcia");
    again.setUserName(u"   "_s);
    EXPECT_FALSE(fileContent().contains("userName"));
    again.defaults().setString(Prefs::Keys::userName, u" \t"_s);
    EXPECT_FALSE(again.userName());

    // The panel stores its target language on every show; an unchanged value leaves the file
    // alone.
    again.setTargetLanguage(*TargetLanguage::named(u"de"));
    // Set the file's time well back, so a rewrite cannot hide within the clock's resolution.
    const QDateTime past = QFileInfo(path()).lastModified().addSecs(-60);
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(past, QFileDevice::FileModificationTime));
    again.setTargetLanguage(*TargetLanguage::named(u"de"));
    EXPECT_EQ(QFileInfo(path()).lastModified(), past);
    again.setTargetLanguage(*TargetLanguage::named(u"fr"));
    EXPECT_EQ(reopen().targetLanguage().code, u"fr"_s);
}

// A key goes where the engines window says: a named provider's own host, never a stored one.
TEST_F(PrefsTest, NamedProvidersKeepTheirHostAndTheOldSingleValueServesOpenAIShapedOnes) {
    Prefs& prefs = reopen();
    prefs.defaults().setString(Prefs::Keys::legacyBaseURL, u"https://llm.example.org/v1"_s);
    prefs.defaults().setString(Prefs::Keys::legacyModel, u"old-model"_s);
    EXPECT_EQ(prefs.baseURL(AIProvider::custom), u"https://llm.example.org/v1"_s);
    EXPECT_EQ(prefs.model(AIProvider::openai), u"old-model"_s);
    EXPECT_EQ(prefs.model(AIProvider::openrouter), defaultModel(AIProvider::openrouter));
    for (AIProvider named : allCases<AIProvider>()) {
        if (named == AIProvider::custom)
            continue;
        prefs.setBaseURL(named, u"https://elsewhere.example/v1"_s);
        EXPECT_EQ(prefs.baseURL(named), defaultBaseURL(named)) << rawValue(named).toStdString();
    }

    prefs.setBaseURL(AIProvider::custom, QString());
    EXPECT_EQ(prefs.baseURL(AIProvider::custom), QString()) << "an empty stored value wins";
    EXPECT_TRUE(fileContent().contains("onlineAIBaseURL")) << "the old value is never removed";
}

TEST_F(PrefsTest, OldIgnoredIdsAreConvertedOnceAndIgnoreKeepsTheFirstNameAndOrder) {
    writeFile(R"({"ignoredBundleIDs": ["org.gnome.Terminal", "firefox"]})");
    Prefs& prefs = reopen();
    const QList<IgnoredApp> expected = {{u"org.gnome.Terminal"_s, {}}, {u"firefox"_s, {}}};
    EXPECT_EQ(prefs.ignoredApps(), expected);
    const json stored = fileContent();
    EXPECT_FALSE(stored.contains("ignoredBundleIDs"));
    EXPECT_EQ(stored["ignoredApps"], json::parse(R"([{"bundleID":"org.gnome.Terminal","name":""},
                              {"bundleID":"firefox","name":""}])"));
    EXPECT_EQ(reopen().ignoredApps(), expected);

    writeFile(R"({"ignoredBundleIDs": []})");
    EXPECT_TRUE(reopen().ignoredApps().isEmpty());
    EXPECT_TRUE(fileContent().contains("ignoredBundleIDs"));
    EXPECT_FALSE(fileContent().contains("ignoredApps"));

    // Entries without an id are skipped; names default to empty.
    writeFile(R"({"ignoredApps": [{"name": "No id"}, {"bundleID": "", "name": "Empty"},
                                  {"bundleID": "gedit"}, {"bundleID": "kate", "name": "Kate"}]})");
    EXPECT_EQ(reopen().ignoredApps(),
              (QList<IgnoredApp>{{u"gedit"_s, {}}, {u"kate"_s, u"Kate"_s}}));

    // Ignoring keeps the first name and the order, and matches ids case-sensitively.
    writeFile("{}");
    Prefs& clean = reopen();
    clean.ignore(u"org.kde.kate"_s, u"Kate"_s);
    clean.ignore(u"gedit"_s, u"Text Editor"_s);
    clean.ignore(u"org.kde.kate"_s, u"Another name"_s);
    clean.ignore(QString(), u"Nameless"_s);
    const QList<IgnoredApp> kept = {{u"org.kde.kate"_s, u"Kate"_s}, {u"gedit"_s, u"Text Editor"_s}};
    EXPECT_EQ(clean.ignoredApps(), kept);
    EXPECT_TRUE(clean.isIgnored(u"gedit"_s));
    EXPECT_FALSE(clean.isIgnored(u"GEDIT"_s));

    clean.unignore(u"org.kde.kate"_s);
    EXPECT_EQ(clean.ignoredApps(), (QList<IgnoredApp>{{u"gedit"_s, u"Text Editor"_s}}));
    clean.unignore(u"gedit"_s);
    EXPECT_TRUE(fileContent()["ignoredApps"].is_array());
    EXPECT_TRUE(fileContent()["ignoredApps"].empty());
}

TEST_F(PrefsTest, ADamagedOrOverDeepFileReadsAsEmptyAndIsKeptAside) {
    const QByteArray deep = "{\"a\":" + QByteArray(200'000, '[') + QByteArray(200'000, ']') + "}";
    for (const QByteArray& content :
         {QByteArray("{ not json"), QByteArray(R"(["a", "list"])"), deep}) {
        writeFile(content);
        Prefs& prefs = reopen();
        EXPECT_EQ(prefs.aiProvider(), AIProvider::openai);
        EXPECT_TRUE(prefs.setAIProvider(AIProvider::anthropic));
        QFile aside(path() + u".corrupt"_s);
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), content);
        EXPECT_EQ(fileContent()["aiProvider"], "anthropic");
    }
}

// Unreadable: the settings stay as they are and every change reports its failure.
TEST_F(PrefsTest, AnUnreadableFileIsNeverReplaced) {
    QDir().mkpath(path());
    Prefs& blocked = reopen();
    EXPECT_FALSE(blocked.setAIProvider(AIProvider::google));
    EXPECT_FALSE(blocked.setAIProvider(AIProvider::google)) << "held in memory, still not stored";
    EXPECT_FALSE(blocked.defaults().setStringList(u"list"_s, {u"a"_s}));
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(PrefsTest, WritesFromSeveralThreadsAllLand) {
    Prefs& prefs = reopen();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&prefs, t] {
            for (int i = 0; i < 25; ++i)
                prefs.defaults().setInteger(u"key.%1.%2"_s.arg(t).arg(i), i);
        });
    for (auto& thread : threads)
        thread.join();
    const json stored = fileContent();
    EXPECT_EQ(stored.size(), 100u);
    EXPECT_EQ(stored["key.3.24"], 24);
}
