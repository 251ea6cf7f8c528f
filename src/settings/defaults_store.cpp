#include "settings/defaults_store.h"

#include "support/atomic_file.h"
#include "support/bounded_json.h"

#include <QFile>
#include <QFileInfo>

namespace ovra {

using json = nlohmann::json;

namespace {

std::string key8(const QString& key) {
    return key.toStdString();
}

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

bool isMapOfStrings(const json& value) {
    if (!value.is_object())
        return false;
    for (const auto& member : value.items())
        if (!member.value().is_string())
            return false;
    return true;
}

} // namespace

DefaultsStore::DefaultsStore(QString filePath) : m_filePath(std::move(filePath)) {
    const auto content = readWholeFile(m_filePath);
    if (!content) {
        // A file that is there but cannot be read still holds the user's settings: they are
        // not replaced by the few changed in this session.
        m_writable = !QFileInfo(m_filePath).exists();
        return;
    }
    json parsed = BoundedJson::parse(*content);
    if (parsed.is_object()) {
        m_values = std::move(parsed);
        return;
    }
    // Unreadable settings count as empty, but the user's file is kept aside, not overwritten.
    const QString aside = m_filePath + QStringLiteral(".corrupt");
    QFile::remove(aside);
    QFile::rename(m_filePath, aside);
}

std::optional<json> DefaultsStore::valueLocked(const QString& key) const {
    const auto it = m_values.find(key8(key));
    if (it == m_values.end())
        return std::nullopt;
    return *it;
}

std::optional<QString> DefaultsStore::string(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto value = valueLocked(key);
    if (!value || !value->is_string())
        return std::nullopt;
    return fromUtf8(value->get<std::string>());
}

std::optional<bool> DefaultsStore::boolean(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto value = valueLocked(key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

std::optional<qint64> DefaultsStore::integer(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto value = valueLocked(key);
    if (!value)
        return std::nullopt;
    if (value->is_number_integer())
        return value->get<qint64>();
    return std::nullopt; // strings, fractions, booleans and lists are not integers
}

std::optional<QStringList> DefaultsStore::stringList(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto value = valueLocked(key);
    if (!value || !value->is_array())
        return std::nullopt;
    QStringList list;
    for (const json& element : *value) {
        if (!element.is_string())
            return std::nullopt;
        list.append(fromUtf8(element.get<std::string>()));
    }
    return list;
}

std::optional<QList<StringMap>> DefaultsStore::mapList(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto value = valueLocked(key);
    if (!value || !value->is_array())
        return std::nullopt;
    QList<StringMap> list;
    for (const json& element : *value) {
        if (!isMapOfStrings(element))
            return std::nullopt;
        StringMap map;
        for (const auto& member : element.items())
            map.insert(fromUtf8(member.key()), fromUtf8(member.value().get<std::string>()));
        list.append(map);
    }
    return list;
}

bool DefaultsStore::contains(const QString& key) const {
    std::lock_guard lock(m_mutex);
    return m_values.contains(key8(key));
}

bool DefaultsStore::setString(const QString& key, const QString& value) {
    return setRaw(key, value.toStdString());
}

bool DefaultsStore::setBoolean(const QString& key, bool value) {
    return setRaw(key, value);
}

bool DefaultsStore::setInteger(const QString& key, qint64 value) {
    return setRaw(key, value);
}

bool DefaultsStore::setStringList(const QString& key, const QStringList& value) {
    json list = json::array();
    for (const QString& element : value)
        list.push_back(element.toStdString());
    return setRaw(key, std::move(list));
}

bool DefaultsStore::setMapList(const QString& key, const QList<StringMap>& value) {
    json list = json::array();
    for (const StringMap& map : value) {
        json object = json::object();
        for (auto it = map.begin(); it != map.end(); ++it)
            object[it.key().toStdString()] = it.value().toStdString();
        list.push_back(std::move(object));
    }
    return setRaw(key, std::move(list));
}

bool DefaultsStore::remove(const QString& key) {
    std::lock_guard lock(m_mutex);
    if (m_values.erase(key8(key)) > 0 || m_unsaved)
        return save();
    return true;
}

bool DefaultsStore::setRaw(const QString& key, json value) {
    std::lock_guard lock(m_mutex);
    // Callers store some values on every panel show; rewriting (and syncing) the whole file for
    // a value it already holds is wasted work.
    // After a failed write the memory holds changes the file lacks: an equal value is no proof
    // that anything is stored, so the write is tried again.
    json& stored = m_values[key8(key)];
    if (stored == value && !m_unsaved)
        return true;
    stored = std::move(value);
    return save();
}

bool DefaultsStore::save() {
    if (!m_writable) {
        m_unsaved = true;
        return false;
    }
    // Settings hold no secrets, but they are the user's own: owner read/write, others read.
    const std::string text = m_values.dump(2);
    // Each write holds every value, so one that succeeds stores whatever an earlier one missed.
    m_unsaved = !writeFileAtomically(m_filePath, QByteArray(text.data(), qsizetype(text.size())),
                                     0644, 0755);
    return !m_unsaved;
}

} // namespace ovra
