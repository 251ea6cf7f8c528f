#include "panel/router_panel_engines.h"

namespace ovra {

namespace {

class SessionChat final : public PanelChat {
public:
    SessionChat(QString selection, Prefs& prefs, KeyStore& keys, OnlineAIClient& online,
                LanguageModel& device)
        : m_session(std::move(selection), prefs, keys, online, device) {}

    QCoro::Task<QString> ask(QString question, CancelToken token, TextProgress progress) override {
        return m_session.ask(std::move(question), std::move(token), std::move(progress));
    }

private:
    AIChatSession m_session;
};

} // namespace

RouterPanelEngines::RouterPanelEngines(Prefs& prefs, KeyStore& keys, HttpClient& http,
                                       LanguageModel& deviceModel)
    : m_prefs(prefs), m_keys(keys), m_router(prefs, keys, http, deviceModel, m_coordinator) {}

QCoro::Task<EngineOutcome> RouterPanelEngines::translate(QString text, TargetLanguage target,
                                                         CancelToken token, TextProgress progress) {
    return m_router.translate(std::move(text), std::move(target), std::move(token),
                              std::move(progress));
}

QCoro::Task<EngineOutcome> RouterPanelEngines::reformulate(QString text, CancelToken token,
                                                           TextProgress progress) {
    return m_router.reformulate(std::move(text), std::move(token), std::move(progress));
}

QCoro::Task<EngineOutcome> RouterPanelEngines::runAction(AIActionKind kind, QString text,
                                                         CancelToken token, TextProgress progress) {
    return m_router.runAction(kind, std::move(text), std::move(token), std::move(progress));
}

std::shared_ptr<PanelChat> RouterPanelEngines::makeChat(QString selection) {
    return std::make_shared<SessionChat>(std::move(selection), m_prefs, m_keys,
                                         m_router.onlineClient(), m_router.deviceModel());
}

} // namespace ovra
