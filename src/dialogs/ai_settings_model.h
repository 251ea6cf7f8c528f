#pragma once

#include "settings/catalogues.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>

namespace ovra {

class Prefs;
class KeyStore;
class Scheduler;

// The online engines window's state and rules: which service translates, which AI provider
// answers, its base URL and model, and the API keys. Stored keys are never read back into the
// fields; the model only tells whether one exists. Main thread only.
class AISettingsModel final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds savedFeedbackDuration{2000};

    AISettingsModel(Prefs& prefs, KeyStore& keys, Scheduler& scheduler, QObject* parent = nullptr);

    OnlineTranslationProvider provider() const { return m_provider; }
    void setProvider(OnlineTranslationProvider provider);
    AIProvider aiProvider() const { return m_aiProvider; }
    // Keeps the edits of the provider left in the cache and loads those of the new one.
    void setAIProvider(AIProvider provider);
    const QString& baseURL() const { return m_baseURL; }
    void setBaseURL(const QString& value);
    const QString& model() const { return m_model; }
    void setModel(const QString& value);
    const QString& googleKeyInput() const { return m_googleKeyInput; }
    void setGoogleKeyInput(const QString& value);
    const QString& apiKeyInput() const { return m_apiKeyInput; }
    void setAPIKeyInput(const QString& value);

    bool hasGoogleKey() const { return m_hasGoogleKey; }
    bool hasAPIKey() const { return m_hasAPIKey; }
    bool savedFeedback() const { return m_savedFeedback; }
    // The last save or removal could not store everything (full disk, read-only or unreadable
    // file); what was not stored stays in its field.
    bool saveFailed() const { return m_saveFailed; }
    static QString saveFailureText();
    // Google translation runs on the key built into the program: the user has stored none.
    bool usesEmbeddedGoogleKey() const { return m_usesEmbeddedGoogleKey; }

    // Rebuilds everything from the stored settings; unsaved edits are dropped.
    void reload();
    void save();
    void removeGoogleKey();
    void removeAIKey();
    void refreshKeyFlags();

    // What the window shows, derived from the state above.
    QString googleKeyPlaceholder() const;
    QString apiKeyPlaceholder() const;
    QString googleExplanation() const;
    bool isBaseURLEditable() const { return m_aiProvider == AIProvider::custom; }
    // The provider's default base URL shown read-only, or the custom field's placeholder.
    QString defaultBaseURL() const;
    QString defaultModel() const;
    QString aiHint() const;
    // The provider's key page; nothing for the custom provider.
    std::optional<QUrl> aiKeyPage() const;
    static QUrl googleKeyPage();
    // Where the keys are kept, with the key file's real path ("~" for the home folder).
    QString keyStorageNote() const;

Q_SIGNALS:
    // Any field or flag changed; views re-read what they show.
    void changed();
    // The translation service changed (the window then fits its height to the new section).
    void providerChanged();

private:
    struct Fields {
        QString baseURL;
        QString model;
    };
    void swapAIProviderFields(AIProvider old);
    void loadFieldsFromPrefs();

    Prefs& m_prefs;
    KeyStore& m_keys;
    Scheduler& m_scheduler;

    OnlineTranslationProvider m_provider = OnlineTranslationProvider::google;
    AIProvider m_aiProvider = AIProvider::openai;
    QString m_baseURL;
    QString m_model;
    QMap<AIProvider, Fields> m_aiFieldCache; // unsaved edits of providers switched away from
    QString m_googleKeyInput;
    QString m_apiKeyInput;
    bool m_hasGoogleKey = false;
    bool m_hasAPIKey = false;
    bool m_usesEmbeddedGoogleKey = false;
    bool m_savedFeedback = false;
    bool m_saveFailed = false;
};

} // namespace ovra
