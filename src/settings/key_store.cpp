#include "settings/key_store.h"

#include "ovra/deployment_config.h"
#include "settings/prefs.h"
#include "support/atomic_file.h"
#include "support/bounded_json.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace ovra {

using namespace Qt::StringLiterals;
using json = nlohmann::json;

namespace {

// The host of `url` as the user wrote it: QUrl lower-cases hosts, and the old key's provider is
// decided on the host exactly as written.
QString hostAsWritten(const QString& url) {
    const qsizetype schemeEnd = url.indexOf(u"://");
    if (schemeEnd < 0)
        return {};
    const qsizetype start = schemeEnd + 3;
    qsizetype end = start;
    while (end < url.size() && url[end] != u'/' && url[end] != u'?' && url[end] != u'#')
        ++end;
    QString authority = url.mid(start, end - start);
    authority = authority.mid(authority.lastIndexOf(u'@') + 1); // no user information
    if (authority.startsWith(u'['))
        return authority.left(authority.indexOf(u']') + 1);
    return authority.left(authority.indexOf(u':')); // no port; the whole when there is none
}

// The provider a single key of earlier versions belonged to, from the host of the old base URL.
AIProvider providerForLegacyBaseURL(const std::optional<QString>& baseURL) {
    if (!baseURL)
        return AIProvider::custom;
    const QUrl url(*baseURL, QUrl::StrictMode);
    const QString host =
        url.isValid() && !url.host().isEmpty() ? hostAsWritten(*baseURL) : QString();
    if (host.isEmpty())
        return AIProvider::custom;
    if (host == QLatin1String(deployment::openAIApiHost))
        return AIProvider::openai;
    if (host == QLatin1String(deployment::geminiApiHost))
        return AIProvider::google;
    if (host == QLatin1String(deployment::anthropicApiHost))
        return AIProvider::anthropic;
    if (host == QLatin1String(deployment::openRouterHost))
        return AIProvider::openrouter;
    return AIProvider::custom;
}

} // namespace

KeyStore::KeyStore(QString filePath, const Prefs& prefs, QString builtinGoogleKey)
    : m_filePath(std::move(filePath)), m_prefs(prefs),
      m_builtinGoogleKey(std::move(builtinGoogleKey)) {}

KeyStore& KeyStore::shared() {
    static KeyStore store(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                              u'/' + QLatin1String(deployment::appId) + u"/keys.json"_s,
                          Prefs::shared(), QLatin1String(deployment::builtinGoogleKey));
    return store;
}

QString KeyStore::aiAccount(AIProvider provider) {
    return u"onlineAI.apiKey."_s + rawValue(provider);
}

KeyStore::Loaded KeyStore::load() const {
    Loaded loaded;
    const QByteArray native = QFile::encodeName(m_filePath);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return loaded; // no file yet: no keys
    // Keys readable by others are made owner-only at once, not only by the next change.
    if (S_ISREG(info.st_mode) && (info.st_mode & 0077) != 0)
        ::chmod(native.constData(), 0600);
    const auto content = readWholeFile(m_filePath);
    if (!content) {
        // Keys that cannot be read are still the user's: nothing may replace them.
        loaded.writable = false;
        return loaded;
    }
    const json parsed = BoundedJson::parse(*content);
    if (!parsed.is_object()) {
        // A damaged file is kept aside, owner-only, before anything new is written.
        const QString aside = m_filePath + u".corrupt"_s;
        QFile::remove(aside);
        loaded.writable = QFile::rename(m_filePath, aside);
        ::chmod(QFile::encodeName(aside).constData(), 0600);
        return loaded;
    }
    for (const auto& member : parsed.items()) {
        // One odd member does not cost the user the other keys.
        if (member.value().is_string())
            loaded.store.insert(QString::fromStdString(member.key()),
                                QString::fromStdString(member.value().get<std::string>()));
    }
    return loaded;
}

bool KeyStore::save(const Loaded& loaded) const {
    if (!loaded.writable)
        return false;
    json object = json::object();
    for (auto it = loaded.store.begin(); it != loaded.store.end(); ++it)
        object[it.key().toStdString()] = it.value().toStdString();
    const std::string text = object.dump(2);
    // Owner-only folder, even when it already existed with looser rights.
    const QString folder = QFileInfo(m_filePath).absolutePath();
    const bool written = writeFileAtomically(
        m_filePath, QByteArray(text.data(), qsizetype(text.size())), 0600, 0700);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return written;
}

std::optional<QString> KeyStore::aiAPIKey(AIProvider provider) {
    std::lock_guard lock(m_mutex);
    migrateLocked();
    const QString key = load().store.value(aiAccount(provider));
    if (key.isEmpty())
        return std::nullopt;
    return key;
}

KeyStore::KeyState KeyStore::aiKeyState(AIProvider provider) {
    return aiAPIKey(provider) ? KeyState::present : KeyState::missing;
}

std::optional<QString> KeyStore::googleAPIKey() {
    std::lock_guard lock(m_mutex);
    const QString key = load().store.value(googleAccount);
    if (key.isEmpty())
        return std::nullopt;
    return key;
}

std::optional<QString> KeyStore::resolvedGoogleKey() {
    if (auto key = googleAPIKey())
        return key;
    if (m_builtinGoogleKey.isEmpty())
        return std::nullopt;
    return m_builtinGoogleKey;
}

bool KeyStore::writeKey(const QString& value, const QString& account) {
    std::lock_guard lock(m_mutex);
    return writeKeyLocked(value, account);
}

bool KeyStore::writeKeyLocked(const QString& value, const QString& account) {
    const QString trimmed = value.trimmed();
    Loaded loaded = load();
    if (trimmed.isEmpty())
        loaded.store.remove(account);
    else
        loaded.store.insert(account, trimmed);
    return save(loaded);
}

void KeyStore::migrateLegacyAIKeyIfNeeded() {
    std::lock_guard lock(m_mutex);
    migrateLocked();
}

void KeyStore::migrateLocked() {
    if (m_didMigrateLegacyAIKey)
        return;
    m_didMigrateLegacyAIKey = true; // set first: a failure is not retried in this process
    const QString legacyKey = load().store.value(legacyAIAccount);
    if (legacyKey.isEmpty())
        return;

    const auto legacyBaseURL = m_prefs.defaults().string(Prefs::Keys::legacyBaseURL);
    const QString account = aiAccount(providerForLegacyBaseURL(legacyBaseURL));
    if (load().store.value(account).isEmpty() && !writeKeyLocked(legacyKey, account))
        return; // the old entry stays until the key has a new home

    Loaded loaded = load();
    loaded.store.remove(legacyAIAccount);
    save(loaded);
}

} // namespace ovra
