#include "dialogs/ai_settings_model.h"

#include "ovra/deployment_config.h"
#include "settings/key_store.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "support/scheduler.h"

#include <QDir>

namespace ovra {

AISettingsModel::AISettingsModel(Prefs& prefs, KeyStore& keys, Scheduler& scheduler,
                                 QObject* parent)
    : QObject(parent), m_prefs(prefs), m_keys(keys), m_scheduler(scheduler) {
    m_provider = m_prefs.onlineTranslationProvider();
    m_aiProvider = m_prefs.aiProvider();
    loadFieldsFromPrefs();
    refreshKeyFlags();
}

void AISettingsModel::setProvider(OnlineTranslationProvider provider) {
    if (provider == m_provider)
        return;
    m_provider = provider;
    Q_EMIT changed();
    Q_EMIT providerChanged();
}

void AISettingsModel::setAIProvider(AIProvider provider) {
    const AIProvider old = m_aiProvider;
    m_aiProvider = provider;
    swapAIProviderFields(old);
    Q_EMIT changed();
}

void AISettingsModel::setBaseURL(const QString& value) {
    if (value == m_baseURL)
        return;
    m_baseURL = value;
    Q_EMIT changed();
}

void AISettingsModel::setModel(const QString& value) {
    if (value == m_model)
        return;
    m_model = value;
    Q_EMIT changed();
}

void AISettingsModel::setGoogleKeyInput(const QString& value) {
    if (value == m_googleKeyInput)
        return;
    m_googleKeyInput = value;
    Q_EMIT changed();
}

void AISettingsModel::setAPIKeyInput(const QString& value) {
    if (value == m_apiKeyInput)
        return;
    m_apiKeyInput = value;
    Q_EMIT changed();
}

void AISettingsModel::swapAIProviderFields(AIProvider old) {
    if (m_aiProvider == old)
        return;
    m_aiFieldCache.insert(old, {m_baseURL, m_model});
    if (const auto cached = m_aiFieldCache.constFind(m_aiProvider);
        cached != m_aiFieldCache.cend()) {
        m_baseURL = cached->baseURL;
        m_model = cached->model;
    } else {
        loadFieldsFromPrefs();
    }
    // A key typed for one provider must never be saved under another.
    m_apiKeyInput.clear();
    refreshKeyFlags();
}

void AISettingsModel::loadFieldsFromPrefs() {
    m_baseURL = m_prefs.baseURL(m_aiProvider);
    m_model = m_prefs.model(m_aiProvider);
}

void AISettingsModel::reload() {
    setProvider(m_prefs.onlineTranslationProvider());
    m_aiFieldCache.clear();
    m_aiProvider = m_prefs.aiProvider();
    loadFieldsFromPrefs();
    m_googleKeyInput.clear();
    m_apiKeyInput.clear();
    refreshKeyFlags(); // emits changed()
}

void AISettingsModel::refreshKeyFlags() {
    m_hasGoogleKey = m_keys.googleAPIKey().has_value();
    m_hasAPIKey = m_keys.aiAPIKey(m_aiProvider).has_value();
    // Without a key of the user's own, the resolved key can only be the built-in one.
    m_usesEmbeddedGoogleKey = !m_hasGoogleKey && m_keys.resolvedGoogleKey().has_value();
    Q_EMIT changed();
}

void AISettingsModel::save() {
    // Every change is attempted even after one fails; what was typed stays in its field until
    // it is stored.
    bool stored = m_prefs.setOnlineTranslationProvider(m_provider);
    stored = m_prefs.setAIProvider(m_aiProvider) && stored;
    m_aiFieldCache.insert(m_aiProvider, {m_baseURL, m_model});
    for (auto it = m_aiFieldCache.cbegin(); it != m_aiFieldCache.cend(); ++it) {
        const QString url = it->baseURL.trimmed();
        const QString model = it->model.trimmed();
        // A named provider's address is fixed: storing one would only leave a value never read.
        if (it.key() == AIProvider::custom)
            stored = m_prefs.setBaseURL(it.key(),
                                        url.isEmpty() ? ovra::defaultBaseURL(it.key()) : url) &&
                     stored;
        stored =
            m_prefs.setModel(it.key(), model.isEmpty() ? ovra::defaultModel(it.key()) : model) &&
            stored;
    }
    if (stored) {
        loadFieldsFromPrefs();
        m_aiFieldCache.clear();
    }

    if (const QString key = m_googleKeyInput.trimmed(); !key.isEmpty()) {
        if (m_keys.writeKey(key, KeyStore::googleAccount))
            m_googleKeyInput.clear();
        else
            stored = false;
    }
    if (const QString key = m_apiKeyInput.trimmed(); !key.isEmpty()) {
        m_keys.migrateLegacyAIKeyIfNeeded();
        if (m_keys.writeKey(key, KeyStore::aiAccount(m_aiProvider)))
            m_apiKeyInput.clear();
        else
            stored = false;
    }
    refreshKeyFlags();

    m_saveFailed = !stored;
    m_savedFeedback = stored;
    Q_EMIT changed();
    if (!stored)
        return; // the failure stays shown until a save succeeds
    // Each save keeps its own timer: an earlier one still turns the note off at its own time.
    m_scheduler.schedule(savedFeedbackDuration, this, [this] {
        m_savedFeedback = false;
        Q_EMIT changed();
    });
}

void AISettingsModel::removeGoogleKey() {
    m_saveFailed = !m_keys.writeKey(QString(), KeyStore::googleAccount);
    m_savedFeedback = false;
    m_googleKeyInput.clear();
    refreshKeyFlags();
}

void AISettingsModel::removeAIKey() {
    m_keys.migrateLegacyAIKeyIfNeeded();
    m_saveFailed = !m_keys.writeKey(QString(), KeyStore::aiAccount(m_aiProvider));
    m_savedFeedback = false;
    m_apiKeyInput.clear();
    refreshKeyFlags();
}

QString AISettingsModel::saveFailureText() {
    return L10n::string(QStringLiteral("settings.saveFailed"));
}

QString AISettingsModel::googleKeyPlaceholder() const {
    if (m_hasGoogleKey)
        return QStringLiteral("Nova chave (vazio mantém a atual)");
    if (m_usesEmbeddedGoogleKey)
        return QStringLiteral("Cole a sua chave (opcional)");
    return QStringLiteral("Chave do Google Tradutor (Cloud Translation)");
}

QString AISettingsModel::apiKeyPlaceholder() const {
    return m_hasAPIKey ? QStringLiteral("Nova chave (vazio mantém a atual)")
                       : QStringLiteral("Cole a chave de API");
}

QString AISettingsModel::googleExplanation() const {
    if (m_usesEmbeddedGoogleKey)
        return QStringLiteral(
            "A sua chave é opcional: colando uma, ela passa a valer no lugar da do app (sua cota, "
            "seu projeto). Para criar uma, ative a Cloud Translation API no seu Google Cloud e "
            "gere a chave em Credenciais — o link abaixo abre a página certa.");
    return QStringLiteral("Ative a Cloud Translation API no seu projeto do Google Cloud e crie uma "
                          "chave de API em Credenciais — o link abaixo abre a página certa.");
}

QString AISettingsModel::defaultBaseURL() const {
    return ovra::defaultBaseURL(m_aiProvider);
}

QString AISettingsModel::defaultModel() const {
    return ovra::defaultModel(m_aiProvider);
}

QString AISettingsModel::aiHint() const {
    if (m_aiProvider == AIProvider::custom)
        return QStringLiteral(
            "No modo Personalizado, qualquer serviço compatível com a API de chat da OpenAI serve "
            "(inclusive um servidor local): informe a URL base dele acima e a chave, se ele pedir "
            "uma.");
    return QStringLiteral(
        "O provedor escolhido já traz a URL e um modelo sugerido (dá para trocar o modelo). Sem "
        "chave de IA nenhuma, o Ovra usa a IA do próprio aparelho — o modelo local (um servidor "
        "compatível com Ollama em 127.0.0.1:11434) — nas ações de IA.");
}

std::optional<QUrl> AISettingsModel::aiKeyPage() const {
    if (m_aiProvider == AIProvider::custom)
        return std::nullopt;
    const std::optional<QString> page = keyPage(m_aiProvider);
    if (!page)
        return std::nullopt;
    return QUrl(*page);
}

QString AISettingsModel::keyStorageNote() const {
    QString path = QDir::cleanPath(m_keys.filePath());
    const QString home = QDir::homePath();
    if (path.startsWith(home + u'/'))
        path = u'~' + path.mid(home.size());
    return QStringLiteral("A sua chave pessoal fica guardada só num arquivo só seu (") % path %
           QStringLiteral(
               ", acessível apenas pela sua conta) — e tem prioridade sobre a chave padrão que o "
               "Ovra traz para o Google Tradutor (restrita à tradução). Com um motor online "
               "configurado, o texto selecionado é enviado ao provedor escolhido para "
               "traduzir/reformular.");
}

QUrl AISettingsModel::googleKeyPage() {
    // The Google Cloud console's credentials page.
    return QUrl(QStringLiteral("https://") + QLatin1String(deployment::googleConsoleHost) +
                QStringLiteral("/apis/credentials"));
}

} // namespace ovra
