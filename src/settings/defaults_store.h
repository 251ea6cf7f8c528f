#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

namespace ovra {

using StringMap = QMap<QString, QString>;

// The per-user defaults: a flat map of keys to typed values (strings, booleans, integers, string
// lists, lists of string maps), kept in one JSON file. Every change is written through at once,
// replacing the file atomically; setting a value already held writes nothing, unless an earlier
// write failed: then every change tries again and reports failure until a write succeeds. Safe to
// use from any thread.
//
// A file that cannot be parsed, that is not a JSON object or that nests too deep, reads as empty
// and is moved aside (to "<file>.corrupt") before anything new is written, so nothing the user
// had is destroyed. A file that is there but cannot be read is never replaced: changes then stay
// in memory for this session and report failure. Every change returns whether it was stored.
class DefaultsStore {
public:
    explicit DefaultsStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // Typed reads: nothing when the key is absent or holds a value of another type.
    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<qint64> integer(const QString& key) const;
    std::optional<QStringList> stringList(const QString& key) const;
    // Nothing unless the value is a list whose every element is a map of strings to strings.
    std::optional<QList<StringMap>> mapList(const QString& key) const;
    bool contains(const QString& key) const;

    bool setString(const QString& key, const QString& value);
    bool setBoolean(const QString& key, bool value);
    bool setInteger(const QString& key, qint64 value);
    bool setStringList(const QString& key, const QStringList& value);
    bool setMapList(const QString& key, const QList<StringMap>& value);
    bool remove(const QString& key);

    // Stores an arbitrary JSON value; for tests that need values of unusual types.
    bool setRaw(const QString& key, nlohmann::json value);

private:
    std::optional<nlohmann::json> valueLocked(const QString& key) const;
    bool save();

    QString m_filePath;
    mutable std::mutex m_mutex;
    nlohmann::json m_values = nlohmann::json::object();
    bool m_writable = true;
    bool m_unsaved = false; // the last write failed: memory holds values the file lacks
};

} // namespace ovra
