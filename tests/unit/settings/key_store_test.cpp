#include "ovra/deployment_config.h"
#include "settings/key_store.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ovra;
using namespace Qt::StringLiterals;
using json = nlohmann::json;

namespace {

class KeyStoreTest : public ::testing::Test {
protected:
    KeyStoreTest()
        : m_defaults(m_dir.filePath(u"defaults.json"_s)),
          m_prefs(m_defaults, [] { return std::optional<QString>(); }) {}

    QString folder() const { return m_dir.filePath(u"data/app.test.Ovra"_s); }
    QString path() const { return folder() + u"/keys.json"_s; }

    // A new process: the once-flags start unset again.
    KeyStore& restart(const QString& builtin = u"BUILTIN-KEY"_s) {
        m_store = std::make_unique<KeyStore>(path(), m_prefs, builtin);
        return *m_store;
    }

    void writeFile(const QByteArray& content) {
        QDir().mkpath(folder());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    json fileContent() const {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return json::parse(file.readAll().toStdString());
    }

    static mode_t modeOf(const QString& path) {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        return info.st_mode & 0777;
    }

    QTemporaryDir m_dir;
    DefaultsStore m_defaults;
    Prefs m_prefs;
    std::unique_ptr<KeyStore> m_store;
};

} // namespace

TEST_F(KeyStoreTest, WriteKeyTrimsAndABlankValueRemovesTheAccountAndReturnsToTheBuiltInKey) {
    EXPECT_FALSE(restart(QString()).resolvedGoogleKey());
    KeyStore& keys = restart();
    EXPECT_EQ(keys.aiKeyState(AIProvider::anthropic), KeyStore::KeyState::missing);
    EXPECT_EQ(keys.resolvedGoogleKey(), u"BUILTIN-KEY"_s);
    EXPECT_FALSE(QFile::exists(path()));
    keys.writeKey(u"  sk-user \n"_s, KeyStore::aiAccount(AIProvider::anthropic));
    EXPECT_EQ(fileContent()["onlineAI.apiKey.anthropic"], "sk-user");
    EXPECT_EQ(keys.aiKeyState(AIProvider::anthropic), KeyStore::KeyState::present);

    keys.writeKey(u"user-google"_s, KeyStore::googleAccount);
    EXPECT_EQ(keys.resolvedGoogleKey(), u"user-google"_s);
    keys.writeKey(u"   "_s, KeyStore::googleAccount);
    EXPECT_FALSE(fileContent().contains("googleTranslate.apiKey"));
    EXPECT_EQ(keys.resolvedGoogleKey(), u"BUILTIN-KEY"_s);

    writeFile(R"({"onlineAI.apiKey.openai": ""})");
    EXPECT_FALSE(keys.aiAPIKey(AIProvider::openai)) << "an empty stored key is no key";
}

TEST_F(KeyStoreTest, TheFileIsOwnerOnlyAfterEverySaveAndSoIsItsFolder) {
    QDir().mkpath(folder());
    ::chmod(QFile::encodeName(folder()).constData(), 0755);
    writeFile(R"({"googleTranslate.apiKey": "old"})");
    ::chmod(QFile::encodeName(path()).constData(), 0644);

    KeyStore& keys = restart();
    keys.writeKey(u"k1"_s, KeyStore::aiAccount(AIProvider::openai));
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(modeOf(folder()), 0700u);
    keys.writeKey(QString(), KeyStore::aiAccount(AIProvider::openai));
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(fileContent(), json::parse(R"({"googleTranslate.apiKey": "old"})"));
    // No temporary file is left behind next to the store.
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{u"keys.json"_s});

    // A loose file is tightened when it is only read.
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    EXPECT_EQ(restart().googleAPIKey(), u"old"_s);
    EXPECT_EQ(modeOf(path()), 0600u);
}

TEST_F(KeyStoreTest, ADamagedFileReadsAsEmptyAndIsKeptAsideOwnerOnly) {
    const QByteArray deep = QByteArray(200'000, '[') + QByteArray(200'000, ']');
    for (const QByteArray& content :
         {QByteArray(R"(["onlineAI.apiKey.openai"])"),
          QByteArray(R"({"googleTranslate.apiKey": "a")"), QByteArray(), deep}) {
        writeFile(content);
        ::chmod(QFile::encodeName(path()).constData(), 0644);
        KeyStore& keys = restart();
        EXPECT_FALSE(keys.aiAPIKey(AIProvider::openai));
        EXPECT_TRUE(keys.writeKey(u"fresh"_s, KeyStore::googleAccount));
        EXPECT_EQ(fileContent(), json::parse(R"({"googleTranslate.apiKey": "fresh"})"));
        QFile aside(path() + u".corrupt"_s);
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), content);
        EXPECT_EQ(modeOf(aside.fileName()), 0600u);
    }
}

TEST_F(KeyStoreTest, AFileThatCannotBeReadIsNeverReplaced) {
    // A folder where the file should be cannot be read, even by a privileged user.
    QDir().mkpath(path());
    KeyStore& keys = restart();
    EXPECT_FALSE(keys.googleAPIKey());
    EXPECT_FALSE(keys.writeKey(u"new"_s, KeyStore::googleAccount));
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_FALSE(QFile::exists(path() + u".corrupt"_s));
    QDir(path()).removeRecursively();

    // A folder that cannot be created: the key is not stored, and the caller hears of it.
    const QString blocked = m_dir.filePath(u"file-not-folder"_s);
    QFile(blocked).open(QIODevice::WriteOnly);
    EXPECT_FALSE(KeyStore(blocked + u"/keys.json"_s, m_prefs, QString())
                     .writeKey(u"k"_s, KeyStore::googleAccount));

    if (::geteuid() != 0) {
        writeFile(R"({"googleTranslate.apiKey": "kept"})");
        ::chmod(QFile::encodeName(path()).constData(), 0000);
        EXPECT_FALSE(keys.writeKey(u"new"_s, KeyStore::aiAccount(AIProvider::openai)));
        ::chmod(QFile::encodeName(path()).constData(), 0600);
        EXPECT_EQ(fileContent(), json::parse(R"({"googleTranslate.apiKey": "kept"})"));
    }
}

TEST_F(KeyStoreTest, TheOldSingleKeyMovesOnceToTheProviderOfItsHostUnlessThatOneHasAKey) {
    const std::pair<std::optional<QString>, AIProvider> cases[] = {
        {u"https://user@"_s + QLatin1String(deployment::openRouterHost) + u":8443/api/v1"_s,
         AIProvider::openrouter},
        {std::nullopt, AIProvider::custom},
        {u"not a url"_s, AIProvider::custom},
        {u"https://API.OPENAI.COM.example/v1"_s, AIProvider::custom},
        // The host compares exactly as written: another case is another host.
        {u"https://"_s + QString::fromLatin1(deployment::openAIApiHost).toUpper() + u"/v1"_s,
         AIProvider::custom},
    };
    for (const auto& [baseURL, provider] : cases) {
        if (baseURL)
            m_defaults.setString(Prefs::Keys::legacyBaseURL, *baseURL);
        else
            m_defaults.remove(Prefs::Keys::legacyBaseURL);
        writeFile(R"({"onlineAI.apiKey": " legacy "})");
        EXPECT_EQ(restart().aiAPIKey(provider), u"legacy"_s);
        EXPECT_EQ(fileContent(), (json{{KeyStore::aiAccount(provider).toStdString(), "legacy"}}));
        EXPECT_EQ(modeOf(path()), 0600u);
    }

    // A key already stored for that provider wins, and the old one goes.
    writeFile(R"({"onlineAI.apiKey": "legacy", "onlineAI.apiKey.custom": "current"})");
    KeyStore& keys = restart();
    EXPECT_EQ(keys.aiAPIKey(AIProvider::custom), u"current"_s);
    EXPECT_EQ(fileContent(), json::parse(R"({"onlineAI.apiKey.custom": "current"})"));

    // A key of the old kind appearing later in the same process is not migrated again.
    writeFile(R"({"onlineAI.apiKey": "late"})");
    EXPECT_FALSE(keys.aiAPIKey(AIProvider::custom));
    EXPECT_TRUE(fileContent().contains("onlineAI.apiKey"));
    // An empty old member stays in the file.
    writeFile(R"({"onlineAI.apiKey": ""})");
    EXPECT_FALSE(restart().aiAPIKey(AIProvider::custom));
    EXPECT_TRUE(fileContent().contains("onlineAI.apiKey"));
}

TEST_F(KeyStoreTest, ConcurrentWritesAndTheFirstReadNeverLoseAKey) {
    writeFile(R"({"onlineAI.apiKey": "legacy"})");
    KeyStore& keys = restart();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&keys, t] {
            for (int i = 0; i < 10; ++i)
                keys.writeKey(u"v%1"_s.arg(i), u"account.%1.%2"_s.arg(t).arg(i));
        });
    threads.emplace_back([&keys] { keys.aiAPIKey(AIProvider::openai); });
    for (auto& thread : threads)
        thread.join();
    const json stored = fileContent();
    EXPECT_EQ(stored.size(), 41u); // 40 accounts plus the migrated key
    EXPECT_EQ(stored["onlineAI.apiKey.custom"], "legacy");
}
