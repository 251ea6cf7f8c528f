#pragma once

#include "ondevice/local_model/local_model_client.h"
#include "platform/language_services.h"

#include <QString>
#include <memory>
#include <vector>

namespace ovra {

// One conversation with the local model. The instructions go first as the system message, then
// every answered turn; each request sends all of it, since the server keeps nothing.
class LocalModelSession final : public LanguageModelSession {
public:
    struct Message {
        QString role; // "system", "user" or "assistant"
        QString content;
    };

    LocalModelSession(std::shared_ptr<LocalModelClient::Shared> shared, QString instructions);

    QCoro::Task<QString> respond(QString prompt, CancelToken token) override;

    // The conversation so far, system message first.
    const std::vector<Message>& messages() const { return m_messages; }

private:
    std::shared_ptr<LocalModelClient::Shared> m_shared;
    std::vector<Message> m_messages;
};

} // namespace ovra
