#pragma once

#include "engines/one_shot.h"
#include "platform/language_services.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace ovra::test {

// A scripted reply: a text, or a failure thrown instead.
using FakeReply = std::variant<QString, std::exception_ptr>;

template <typename E> FakeReply failure(E error) {
    return std::make_exception_ptr(std::move(error));
}

// Calls waiting until the test lets them all go on; a cancelled one ends with CancelledError.
class HeldCalls {
public:
    QCoro::Task<void> wait(CancelToken token);
    void releaseAll() {
        for (auto& gate : std::exchange(m_gates, {}))
            gate->resolve(true);
    }
    std::size_t size() const { return m_gates.size(); }

private:
    std::vector<std::shared_ptr<OneShot<bool>>> m_gates;
};

// The device's language model, scripted. Replies are taken in order (then `defaultReply`);
// with `holdReplies` set, each respond waits until releaseHeld().
class FakeLanguageModel final : public LanguageModel {
public:
    struct Turn {
        int session = 0; // which session (0-based, in opening order)
        QString prompt;
    };

    bool available = true;
    bool holdReplies = false;
    QString defaultReply = QStringLiteral("device answer");
    std::deque<FakeReply> replies;

    QStringList sessionInstructions; // one entry per opened session
    std::vector<Turn> turns;

    QCoro::Task<bool> isAvailable(CancelToken token) override;
    std::unique_ptr<LanguageModelSession> openSession(QString instructions) override;

    // Lets every held respond go on with its scripted reply.
    void releaseHeld() { m_held.releaseAll(); }
    std::size_t heldCount() const { return m_held.size(); }

private:
    friend class FakeLanguageModelSession;
    QCoro::Task<QString> respond(int session, QString prompt, CancelToken token);
    HeldCalls m_held;
};

// The device's translator, scripted. Sessions share this script.
class FakeTranslationService final : public TranslationService {
public:
    bool ready = true;
    bool holdPreparation = false;
    std::deque<std::exception_ptr> prepareFailures; // nullptr entries succeed
    std::deque<FakeReply> translations;             // then "<text> → <target>"
    std::map<std::pair<QString, QString>, LanguageAvailabilityStatus> availability;

    std::vector<TranslationConfiguration> sessionsMade;
    QStringList calls; // "isReady", "prepare", "translate:<text>"

    std::unique_ptr<TranslationSession>
    makeSession(const TranslationConfiguration& configuration) override;
    QCoro::Task<LanguageAvailabilityStatus> status(QString source, QString target,
                                                   CancelToken token) override;

    void finishPreparation() { m_held.releaseAll(); }

private:
    friend class FakeTranslationSession;
    HeldCalls m_held;
};

} // namespace ovra::test
