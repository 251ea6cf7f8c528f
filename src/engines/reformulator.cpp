#include "engines/reformulator.h"

namespace ovra {

ReformulatorError::ReformulatorError(Kind kind, QString description)
    : Error(std::move(description)), m_kind(kind) {}

ReformulatorError ReformulatorError::underlying(QString message) {
    return ReformulatorError(Kind::underlying, std::move(message));
}

ReformulatorError ReformulatorError::unavailable() {
    return ReformulatorError(Kind::unavailable,
                             QStringLiteral("IA no aparelho indisponível neste computador"));
}

ReformulatorError ReformulatorError::emptyAnswer() {
    return underlying(QStringLiteral("A IA não devolveu texto. Tente de novo."));
}

namespace OnDeviceAI {

void rethrowAsReformulatorError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const ReformulatorError&) {
        throw;
    } catch (const CancelledError&) {
        // A cancelled request is not a failure to report.
        throw;
    } catch (const Error& other) {
        throw ReformulatorError::underlying(other.description());
    } catch (...) {
        // Foreign exceptions carry no text meant for the user.
        throw ReformulatorError::underlying(
            QStringLiteral("A IA do aparelho falhou. Tente de novo."));
    }
}

QString acceptedReply(const QString& reply) {
    QString trimmed = reply.trimmed();
    if (trimmed.isEmpty())
        throw ReformulatorError::emptyAnswer();
    return trimmed;
}

QCoro::Task<QString> runWithLocalModel(LanguageModel& model, QString instructions, QString text,
                                       CancelToken token) {
    if (!co_await model.isAvailable(token))
        throw ReformulatorError::unavailable();
    token.throwIfCancelled();
    const std::unique_ptr<LanguageModelSession> session =
        model.openSession(std::move(instructions));
    QString reply;
    std::exception_ptr failure;
    try {
        reply = co_await session->respond(std::move(text), token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        rethrowAsReformulatorError(failure);
    co_return acceptedReply(reply);
}

} // namespace OnDeviceAI

namespace Reformulator {

QString instructions() {
    return QStringLiteral("Reescreva mantendo o idioma e o sentido, de forma clara e natural; "
                          "responda só com o texto reescrito");
}

QCoro::Task<QString> reformulateWithLocalModel(LanguageModel& model, QString text,
                                               CancelToken token) {
    co_return co_await OnDeviceAI::runWithLocalModel(model, instructions(), std::move(text),
                                                     std::move(token));
}

} // namespace Reformulator

} // namespace ovra
