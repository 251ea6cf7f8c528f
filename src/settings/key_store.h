#pragma once

#include "settings/catalogues.h"

#include <QMap>
#include <QString>
#include <mutex>
#include <optional>

namespace ovra {

class Prefs;

// The user's API keys: one per AI provider and one for Google translation, in a JSON object of
// account -> key kept in "keys.json", readable by its owner alone (file 0600, folder 0700).
// Nothing is cached: every operation reads the file again and every change rewrites it whole.
// Operations are serialised by one lock, the one-time migration included.
//
// A file that is not a JSON object is moved aside to "keys.json.corrupt" (owner-only) and reads
// as no keys; a file that cannot be read at all is never replaced: changes fail instead. A file
// readable by others is made owner-only when it is read.
class KeyStore {
public:
    enum class KeyState { present, missing };

    static inline const QString googleAccount = QStringLiteral("googleTranslate.apiKey");
    static inline const QString legacyAIAccount = QStringLiteral("onlineAI.apiKey");

    // `prefs` supplies the outdated base URL that decides where the legacy AI key goes.
    KeyStore(QString filePath, const Prefs& prefs, QString builtinGoogleKey);

    // "<XDG data>/<application id>/keys.json" with the built-in key of the deployment.
    static KeyStore& shared();

    const QString& filePath() const { return m_filePath; }

    static QString aiAccount(AIProvider provider);
    std::optional<QString> aiAPIKey(AIProvider provider);
    KeyState aiKeyState(AIProvider provider);
    // The user's own Google key; does not fall back to the built-in one.
    std::optional<QString> googleAPIKey();
    // The user's Google key, else the built-in key; nothing when both are empty.
    std::optional<QString> resolvedGoogleKey();
    // Stores the trimmed value, or removes the account when it trims to nothing. False when the
    // change could not be stored: the file could not be read, or not be written.
    bool writeKey(const QString& value, const QString& account);
    // Moves the single key of earlier versions to its provider's account, once per instance.
    void migrateLegacyAIKeyIfNeeded();

private:
    using Store = QMap<QString, QString>;
    struct Loaded {
        Store store;
        bool writable = true; // false when a file is there that must not be replaced
    };
    Loaded load() const;
    bool save(const Loaded& loaded) const;
    bool writeKeyLocked(const QString& value, const QString& account);
    void migrateLocked();

    QString m_filePath;
    const Prefs& m_prefs;
    QString m_builtinGoogleKey;
    std::mutex m_mutex;
    bool m_didMigrateLegacyAIKey = false;
};

} // namespace ovra
