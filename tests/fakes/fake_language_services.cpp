#include "fakes/fake_language_services.h"

#include "support/errors.h"

namespace ovra::test {

namespace {
// The next scripted entry, or `fallback` once the script is used up.
template <typename T> T takeNext(std::deque<T>& script, T fallback) {
    if (script.empty())
        return fallback;
    T next = std::move(script.front());
    script.pop_front();
    return next;
}

QString takeReply(FakeReply reply) {
    if (auto* error = std::get_if<std::exception_ptr>(&reply))
        std::rethrow_exception(*error);
    return std::get<QString>(std::move(reply));
}
} // namespace

QCoro::Task<void> HeldCalls::wait(CancelToken token) {
    auto gate = OneShot<bool>::make();
    m_gates.push_back(gate);
    const auto subscription =
        token.onCancel([gate] { gate->fail(std::make_exception_ptr(CancelledError())); });
    co_await gate->wait();
}

class FakeLanguageModelSession final : public LanguageModelSession {
public:
    FakeLanguageModelSession(FakeLanguageModel& model, int index)
        : m_model(model), m_index(index) {}
    QCoro::Task<QString> respond(QString prompt, CancelToken token) override {
        co_return co_await m_model.respond(m_index, std::move(prompt), std::move(token));
    }

private:
    FakeLanguageModel& m_model;
    int m_index;
};

QCoro::Task<bool> FakeLanguageModel::isAvailable(CancelToken token) {
    token.throwIfCancelled();
    co_return available;
}

std::unique_ptr<LanguageModelSession> FakeLanguageModel::openSession(QString instructions) {
    sessionInstructions << instructions;
    return std::make_unique<FakeLanguageModelSession>(
        *this, static_cast<int>(sessionInstructions.size() - 1));
}

QCoro::Task<QString> FakeLanguageModel::respond(int session, QString prompt, CancelToken token) {
    token.throwIfCancelled();
    turns.push_back({session, prompt});
    if (holdReplies)
        co_await m_held.wait(token);
    co_return takeReply(takeNext<FakeReply>(replies, defaultReply));
}

class FakeTranslationSession final : public TranslationSession {
public:
    FakeTranslationSession(FakeTranslationService& service, TranslationConfiguration configuration)
        : m_service(service), m_configuration(std::move(configuration)) {}

    QCoro::Task<bool> isReady(CancelToken token) override {
        token.throwIfCancelled();
        m_service.calls << QStringLiteral("isReady");
        co_return m_service.ready;
    }
    QCoro::Task<void> prepareTranslation(CancelToken token) override {
        token.throwIfCancelled();
        m_service.calls << QStringLiteral("prepare");
        if (m_service.holdPreparation)
            co_await m_service.m_held.wait(token);
        if (const auto failure = takeNext<std::exception_ptr>(m_service.prepareFailures, {}))
            std::rethrow_exception(failure);
        m_service.ready = true;
    }
    QCoro::Task<QString> translate(QString text, CancelToken token) override {
        token.throwIfCancelled();
        m_service.calls << QStringLiteral("translate:") + text;
        co_return takeReply(takeNext<FakeReply>(
            m_service.translations, text + QStringLiteral(" → ") + m_configuration.target));
    }

private:
    FakeTranslationService& m_service;
    TranslationConfiguration m_configuration;
};

std::unique_ptr<TranslationSession>
FakeTranslationService::makeSession(const TranslationConfiguration& configuration) {
    sessionsMade.push_back(configuration);
    return std::make_unique<FakeTranslationSession>(*this, configuration);
}

QCoro::Task<LanguageAvailabilityStatus>
FakeTranslationService::status(QString source, QString target, CancelToken token) {
    token.throwIfCancelled();
    const auto it = availability.find({source, target});
    co_return it == availability.end() ? LanguageAvailabilityStatus::unsupported : it->second;
}

} // namespace ovra::test
