#pragma once

#include "engines/google_translate_client.h"
#include "engines/online_ai_client.h"
#include "engines/translation_coordinator.h"
#include "platform/language_services.h"

namespace ovra {

// One way of translating a text.
class TextTranslating {
public:
    virtual ~TextTranslating() = default;
    virtual QCoro::Task<QString> translate(QString text, TargetLanguage target,
                                           CancelToken token) = 0;
};

// One way of reformulating a text.
class TextReformulating {
public:
    virtual ~TextReformulating() = default;
    virtual QCoro::Task<QString> reformulate(QString text, CancelToken token) = 0;
};

// Online translation and reformulation through the chat-completions client.
class OnlineEngine final : public TextTranslating, public TextReformulating {
public:
    explicit OnlineEngine(OnlineAIClient& client) : m_client(client) {}
    OnlineAIClient& client() { return m_client; }
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token) override;
    QCoro::Task<QString> reformulate(QString text, CancelToken token) override;

private:
    OnlineAIClient& m_client;
};

class GoogleTranslationEngine final : public TextTranslating {
public:
    explicit GoogleTranslationEngine(GoogleTranslateClient& client) : m_client(client) {}
    GoogleTranslateClient& client() { return m_client; }
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token) override;

private:
    GoogleTranslateClient& m_client;
};

// Device translation through the panel's coordinator (shared, not owned).
class LocalTranslationEngine final : public TextTranslating {
public:
    explicit LocalTranslationEngine(TranslationCoordinator& coordinator)
        : m_coordinator(coordinator) {}
    TranslationCoordinator& coordinator() { return m_coordinator; }
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token) override;

private:
    TranslationCoordinator& m_coordinator;
};

// Device reformulation through the device's language model.
class LocalReformulationEngine final : public TextReformulating {
public:
    explicit LocalReformulationEngine(LanguageModel& model) : m_model(model) {}
    LanguageModel& model() { return m_model; }
    QCoro::Task<QString> reformulate(QString text, CancelToken token) override;

private:
    LanguageModel& m_model;
};

} // namespace ovra
