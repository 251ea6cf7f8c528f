#include "engines/ai_chat_session.h"

#include "engines/reformulator.h"
#include "settings/key_store.h"
#include "settings/prefs.h"

#include <QTextBoundaryFinder>

namespace ovra {

AIChatSession::AIChatSession(QString selection, Prefs& prefs, KeyStore& keys,
                             OnlineAIClient& onlineClient, LanguageModel& deviceModel)
    : m_selection(leadingCharacters(selection, maxSelectionCharacters)),
      m_onlineClient(onlineClient), m_deviceModel(deviceModel) {
    const std::optional<QString> key = keys.aiAPIKey(prefs.aiProvider());
    m_useOnline = key && !key->isEmpty();
    if (m_useOnline)
        m_onlineHistory.append({QStringLiteral("system"), instructions()});
}

AIChatSession::~AIChatSession() = default;

QString AIChatSession::leadingCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int taken = 0;
    qsizetype end = 0;
    while (taken < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = next;
        ++taken;
    }
    return text.left(end);
}

QString AIChatSession::instructionsFor(const QString& selection) {
    return QStringLiteral(
               "Você é um assistente dentro do app Ovra. O usuário selecionou o texto abaixo em "
               "outro aplicativo e vai fazer perguntas sobre ele. Explique o contexto e o "
               "significado e responda com clareza e objetividade, no idioma da pergunta do "
               "usuário (se a pergunta não deixar o idioma claro, use o idioma do texto).") +
           QStringLiteral("\n\nTexto selecionado:\n\"\"\"\n") + selection +
           QStringLiteral("\n\"\"\"");
}

QString AIChatSession::instructions() const {
    return instructionsFor(m_selection);
}

QCoro::Task<QString> AIChatSession::ask(QString question, CancelToken token,
                                        TextProgress progress) {
    if (m_useOnline)
        co_return co_await askOnline(std::move(question), std::move(token), std::move(progress));
    co_return co_await askOnDevice(std::move(question), std::move(token));
}

QCoro::Task<QString> AIChatSession::askOnline(QString question, CancelToken token,
                                              TextProgress progress) {
    m_onlineHistory.append({QStringLiteral("user"), question});
    const OnlineAIClient::Message userEntry = m_onlineHistory.last();
    const qsizetype userIndex = m_onlineHistory.size() - 1;
    std::exception_ptr failure;
    QString answer;
    try {
        answer = co_await m_onlineClient.complete(m_onlineHistory, token, std::move(progress));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        // Leave the history as it was, so a retried question is sent once.
        // Searched for, not taken by index: another question may have changed the list meanwhile.
        for (qsizetype i = std::min(userIndex, m_onlineHistory.size() - 1); i >= 0; --i) {
            if (m_onlineHistory.at(i) == userEntry) {
                m_onlineHistory.removeAt(i);
                break;
            }
        }
        std::rethrow_exception(failure);
    }
    m_onlineHistory.append({QStringLiteral("assistant"), answer});
    co_return answer;
}

QCoro::Task<QString> AIChatSession::askOnDevice(QString question, CancelToken token) {
    if (!co_await m_deviceModel.isAvailable(token))
        throw ReformulatorError::unavailable();
    token.throwIfCancelled();
    if (!m_deviceSession)
        m_deviceSession = m_deviceModel.openSession(instructions());
    QString reply;
    std::exception_ptr failure;
    try {
        reply = co_await m_deviceSession->respond(std::move(question), token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        OnDeviceAI::rethrowAsReformulatorError(failure);
    co_return OnDeviceAI::acceptedReply(reply);
}

} // namespace ovra
