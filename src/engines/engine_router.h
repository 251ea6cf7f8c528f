#pragma once

#include "engines/engine_types.h"
#include "engines/text_engines.h"

#include <QUrl>
#include <memory>

namespace ovra {

class KeyStore;
class Prefs;

// Picks the engine for each panel action, runs it, and falls back to the device when an online
// engine fails with anything but cancellation (its error is dropped unseen). An online AI answer
// is handed to `progress` as it is written; once part of it was given out, a failure is thrown
// as it is, since the device's answer would replace text the user has already read. Settings and
// keys are read at every call. Main thread only.
class EngineRouter {
public:
    EngineRouter(Prefs& prefs, KeyStore& keys, HttpClient& http, LanguageModel& deviceModel,
                 TranslationCoordinator& coordinator,
                 QUrl googleBaseUrl = GoogleTranslateClient::defaultBaseUrl());

    QCoro::Task<EngineOutcome> translate(QString text, TargetLanguage target,
                                         CancelToken token = {}, TextProgress progress = {});
    QCoro::Task<EngineOutcome> reformulate(QString text, CancelToken token = {},
                                           TextProgress progress = {});
    QCoro::Task<EngineOutcome> runAction(AIActionKind kind, QString text, CancelToken token = {},
                                         TextProgress progress = {});

    // The instruction for an action: the online system message and the device's instructions.
    static QString instruction(AIActionKind kind);

    OnlineAIClient& onlineClient() { return m_onlineClient; }
    LanguageModel& deviceModel() { return m_localReformulation.model(); }

private:
    bool hasAIKey() const;
    bool hasGoogleKey() const;
    QCoro::Task<EngineOutcome> translateOnline(QCoro::Task<QString> work,
                                               std::shared_ptr<bool> shown, EngineKind kind,
                                               QString text, TargetLanguage target,
                                               CancelToken token);
    QCoro::Task<QString> translateOnDevice(QString text, TargetLanguage target, CancelToken token);

    Prefs& m_prefs;
    KeyStore& m_keys;
    OnlineAIClient m_onlineClient;
    GoogleTranslateClient m_googleClient;
    GoogleTranslationEngine m_google;
    LocalTranslationEngine m_localTranslation;
    LocalReformulationEngine m_localReformulation;
};

} // namespace ovra
