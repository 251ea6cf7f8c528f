#pragma once

#include "engines/ai_chat_session.h"
#include "engines/engine_router.h"
#include "engines/translation_coordinator.h"
#include "panel/panel_engines.h"

namespace ovra {

// The panel's engines in production: one translation coordinator and one router over it, and chat
// sessions that share the router's online client and device model.
class RouterPanelEngines final : public PanelEngines {
public:
    RouterPanelEngines(Prefs& prefs, KeyStore& keys, HttpClient& http, LanguageModel& deviceModel);

    QCoro::Task<EngineOutcome> translate(QString text, TargetLanguage target, CancelToken token,
                                         TextProgress progress) override;
    QCoro::Task<EngineOutcome> reformulate(QString text, CancelToken token,
                                           TextProgress progress) override;
    QCoro::Task<EngineOutcome> runAction(AIActionKind kind, QString text, CancelToken token,
                                         TextProgress progress) override;
    std::shared_ptr<PanelChat> makeChat(QString selection) override;
    TranslationCoordinator& translationCoordinator() override { return m_coordinator; }

    EngineRouter& router() { return m_router; }

private:
    Prefs& m_prefs;
    KeyStore& m_keys;
    TranslationCoordinator m_coordinator;
    EngineRouter m_router;
};

} // namespace ovra
