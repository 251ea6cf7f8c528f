#pragma once

#include "engines/online_ai_client.h"
#include "platform/language_services.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <memory>

namespace ovra {

class KeyStore;
class Prefs;

// A short conversation about one selection, answered online when an AI key was present at
// creation, otherwise by the device's model. The mode never changes afterwards.
class AIChatSession {
public:
    // One line of the conversation as the panel shows it.
    struct Message {
        QUuid id = QUuid::createUuid();
        bool isUser = false;
        QString text;
        bool operator==(const Message&) const = default;
    };

    static constexpr int maxSelectionCharacters = 3500;

    AIChatSession(QString selection, Prefs& prefs, KeyStore& keys, OnlineAIClient& onlineClient,
                  LanguageModel& deviceModel);
    ~AIChatSession();
    AIChatSession(const AIChatSession&) = delete;
    AIChatSession& operator=(const AIChatSession&) = delete;

    // The answer, trimmed; an online answer is handed to `progress` as it is written. Online
    // failures keep the history as it was and are passed on unchanged; device failures are
    // ReformulatorError. CancelledError when `token` is cancelled.
    QCoro::Task<QString> ask(QString question, CancelToken token = {}, TextProgress progress = {});

    const QString& selection() const { return m_selection; }
    bool useOnline() const { return m_useOnline; }
    const QList<OnlineAIClient::Message>& onlineHistory() const { return m_onlineHistory; }
    QString instructions() const;

    // The first `count` user-perceived characters (grapheme clusters) of `text`.
    static QString leadingCharacters(const QString& text, int count);
    static QString instructionsFor(const QString& selection);

private:
    QCoro::Task<QString> askOnline(QString question, CancelToken token, TextProgress progress);
    QCoro::Task<QString> askOnDevice(QString question, CancelToken token);

    QString m_selection;
    bool m_useOnline = false;
    OnlineAIClient& m_onlineClient;
    LanguageModel& m_deviceModel;
    QList<OnlineAIClient::Message> m_onlineHistory;
    std::unique_ptr<LanguageModelSession> m_deviceSession;
};

} // namespace ovra
