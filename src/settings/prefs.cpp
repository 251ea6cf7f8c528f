#include "settings/prefs.h"

#include "settings/key_store.h"
#include "settings/stored_shortcut.h"

#include <QStandardPaths>
#include <array>
#include <utility>

namespace ovra {

using namespace Qt::StringLiterals;

namespace {

void storeIgnoredApps(DefaultsStore& defaults, const QList<IgnoredApp>& apps) {
    QList<StringMap> stored;
    for (const IgnoredApp& app : apps)
        stored.append({{u"bundleID"_s, app.appId}, {u"name"_s, app.name}});
    defaults.setMapList(Prefs::Keys::ignoredApps, stored);
}

} // namespace

Prefs::Prefs(DefaultsStore& defaults, std::function<std::optional<QString>()> resolvedGoogleKey)
    : m_defaults(defaults), m_resolvedGoogleKey(std::move(resolvedGoogleKey)) {}

Prefs& Prefs::shared() {
    // Function-local statics are created once even when two threads arrive together.
    static DefaultsStore store(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        u"/ovra/defaults.json"_s);
    static Prefs prefs(store, [] { return KeyStore::shared().resolvedGoogleKey(); });
    return prefs;
}

AIProvider Prefs::aiProvider() const {
    const auto raw = m_defaults.string(Keys::aiProvider);
    return raw ? fromRawValue<AIProvider>(*raw).value_or(AIProvider::openai) : AIProvider::openai;
}

bool Prefs::setAIProvider(AIProvider provider) {
    return m_defaults.setString(Keys::aiProvider, rawValue(provider));
}

OnlineTranslationProvider Prefs::onlineTranslationProvider() const {
    if (const auto raw = m_defaults.string(Keys::onlineTranslationProvider))
        if (const auto provider = fromRawValue<OnlineTranslationProvider>(*raw))
            return *provider;
    const auto googleKey = m_resolvedGoogleKey ? m_resolvedGoogleKey() : std::nullopt;
    return googleKey && !googleKey->isEmpty() ? OnlineTranslationProvider::google
                                              : OnlineTranslationProvider::ai;
}

bool Prefs::setOnlineTranslationProvider(OnlineTranslationProvider provider) {
    return m_defaults.setString(Keys::onlineTranslationProvider, rawValue(provider));
}

QString Prefs::providerValue(const QString& prefix, const QString& legacyKey, AIProvider provider,
                             const QString& fallback) const {
    if (const auto stored = m_defaults.string(prefix + rawValue(provider)))
        return *stored;
    // The single value of earlier versions only ever described an OpenAI-shaped service.
    if (provider == AIProvider::openai || provider == AIProvider::custom)
        if (const auto legacy = m_defaults.string(legacyKey))
            return *legacy;
    return fallback;
}

QString Prefs::baseURL(AIProvider provider) const {
    // A named provider always answers at its own host, the one the engines window shows; only the
    // custom provider's address is the user's. An address stored for a named provider (by an
    // earlier version or by hand) would send its key to a host the window never shows.
    if (provider != AIProvider::custom)
        return defaultBaseURL(provider);
    return providerValue(Keys::baseURLPrefix, Keys::legacyBaseURL, provider,
                         defaultBaseURL(provider));
}

bool Prefs::setBaseURL(AIProvider provider, const QString& url) {
    return m_defaults.setString(Keys::baseURLPrefix + rawValue(provider), url);
}

QString Prefs::model(AIProvider provider) const {
    return providerValue(Keys::modelPrefix, Keys::legacyModel, provider, defaultModel(provider));
}

bool Prefs::setModel(AIProvider provider, const QString& model) {
    return m_defaults.setString(Keys::modelPrefix + rawValue(provider), model);
}

TargetLanguage Prefs::targetLanguage() const {
    const auto stored = m_defaults.string(Keys::targetLanguage);
    if (!stored)
        return TargetLanguage::portuguese();
    if (auto language = TargetLanguage::named(*stored))
        return *language;
    // Earlier versions stored the case names of a six-language list.
    static const std::array<std::pair<QStringView, QStringView>, 6> oldNames = {{
        {u"portugues", u"pt"},
        {u"english", u"en"},
        {u"espanol", u"es"},
        {u"francais", u"fr"},
        {u"deutsch", u"de"},
        {u"italiano", u"it"},
    }};
    for (const auto& [oldName, code] : oldNames)
        if (*stored == oldName)
            return TargetLanguage::named(code).value();
    return TargetLanguage::portuguese();
}

void Prefs::setTargetLanguage(const TargetLanguage& language) {
    m_defaults.setString(Keys::targetLanguage, language.code);
}

AppLanguage Prefs::appLanguage() const {
    if (const auto raw = m_defaults.string(Keys::appLanguage))
        if (const auto language = fromRawValue<AppLanguage>(*raw))
            return *language;
    return AppLanguages::systemDefault();
}

void Prefs::setAppLanguage(AppLanguage language) {
    m_defaults.setString(Keys::appLanguage, rawValue(language));
}

std::optional<QString> Prefs::userName() const {
    const auto stored = m_defaults.string(Keys::userName);
    if (!stored)
        return std::nullopt;
    const QString name = stored->trimmed();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

void Prefs::setUserName(const std::optional<QString>& name) {
    const QString trimmed = name ? name->trimmed() : QString();
    if (trimmed.isEmpty())
        m_defaults.remove(Keys::userName);
    else
        m_defaults.setString(Keys::userName, trimmed);
}

std::optional<QKeyCombination> Prefs::hotKey() const {
    static const StoredShortcut::Values fallback = *StoredShortcut::fromKeys(defaultHotKey);
    return StoredShortcut::toKeys(
        {m_defaults.integer(Keys::hotKeyCode).value_or(fallback.code),
         m_defaults.integer(Keys::hotKeyModifiers).value_or(fallback.modifiers)});
}

void Prefs::setHotKey(QKeyCombination keys) {
    const std::optional<StoredShortcut::Values> stored = StoredShortcut::fromKeys(keys);
    if (!stored)
        return;
    m_defaults.setInteger(Keys::hotKeyCode, stored->code);
    m_defaults.setInteger(Keys::hotKeyModifiers, stored->modifiers);
}

void Prefs::resetHotKey() {
    m_defaults.remove(Keys::hotKeyCode);
    m_defaults.remove(Keys::hotKeyModifiers);
}

std::optional<QKeyCombination> Prefs::actionHotKey(QuickAction action) const {
    const QString name = QuickActions::name(action);
    const auto code = m_defaults.integer(Keys::actionHotKeyCodePrefix + name);
    const auto modifiers = m_defaults.integer(Keys::actionHotKeyModifiersPrefix + name);
    if (!code || !modifiers)
        return std::nullopt;
    return StoredShortcut::toKeys({*code, *modifiers});
}

void Prefs::setActionHotKey(QuickAction action, QKeyCombination keys) {
    const std::optional<StoredShortcut::Values> stored = StoredShortcut::fromKeys(keys);
    if (!stored)
        return;
    const QString name = QuickActions::name(action);
    m_defaults.setInteger(Keys::actionHotKeyCodePrefix + name, stored->code);
    m_defaults.setInteger(Keys::actionHotKeyModifiersPrefix + name, stored->modifiers);
}

void Prefs::clearActionHotKey(QuickAction action) {
    const QString name = QuickActions::name(action);
    m_defaults.remove(Keys::actionHotKeyCodePrefix + name);
    m_defaults.remove(Keys::actionHotKeyModifiersPrefix + name);
}

QList<IgnoredApp> Prefs::ignoredApps() const {
    if (const auto stored = m_defaults.mapList(Keys::ignoredApps)) {
        QList<IgnoredApp> apps;
        for (const StringMap& entry : *stored) {
            const QString appId = entry.value(u"bundleID"_s);
            if (!appId.isEmpty())
                apps.append({appId, entry.value(u"name"_s)});
        }
        return apps;
    }
    // Earlier versions kept bare ids; convert them once, then drop the old key.
    const auto legacy = m_defaults.stringList(Keys::legacyIgnoredAppIds);
    if (!legacy || legacy->isEmpty())
        return {};
    QList<IgnoredApp> apps;
    for (const QString& appId : *legacy)
        apps.append({appId, QString()});
    storeIgnoredApps(m_defaults, apps);
    m_defaults.remove(Keys::legacyIgnoredAppIds);
    return apps;
}

void Prefs::setIgnoredApps(const QList<IgnoredApp>& apps) {
    storeIgnoredApps(m_defaults, apps);
}

bool Prefs::isIgnored(const QString& appId) const {
    const auto apps = ignoredApps();
    return std::any_of(apps.begin(), apps.end(),
                       [&](const IgnoredApp& app) { return app.appId == appId; });
}

void Prefs::ignore(const QString& appId, const QString& name) {
    if (appId.isEmpty())
        return; // an entry without an id could never match anything
    auto apps = ignoredApps();
    for (const IgnoredApp& app : apps)
        if (app.appId == appId)
            return;
    apps.append({appId, name});
    setIgnoredApps(apps);
}

void Prefs::unignore(const QString& appId) {
    auto apps = ignoredApps();
    apps.removeIf([&](const IgnoredApp& app) { return app.appId == appId; });
    setIgnoredApps(apps);
}

bool Prefs::didShowWelcome() const {
    return m_defaults.boolean(Keys::didShowWelcome).value_or(false);
}

void Prefs::setDidShowWelcome(bool value) {
    m_defaults.setBoolean(Keys::didShowWelcome, value);
}

bool Prefs::suppressNoKeyWarning() const {
    return m_defaults.boolean(Keys::suppressNoKeyWarning).value_or(false);
}

void Prefs::setSuppressNoKeyWarning(bool value) {
    m_defaults.setBoolean(Keys::suppressNoKeyWarning, value);
}

bool Prefs::didShowNoTrayNotice() const {
    return m_defaults.boolean(Keys::didShowNoTrayNotice).value_or(false);
}

void Prefs::setDidShowNoTrayNotice(bool value) {
    m_defaults.setBoolean(Keys::didShowNoTrayNotice, value);
}

} // namespace ovra
