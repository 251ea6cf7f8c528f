#pragma once

#include "platform/language_services.h"
#include "support/errors.h"

#include <QString>
#include <exception>

namespace ovra {

// Every failure of the device's language model, as the user sees it.
class ReformulatorError : public Error {
public:
    enum class Kind { underlying, unavailable };

    static ReformulatorError underlying(QString message);
    static ReformulatorError unavailable();
    // The device answered only white space.
    static ReformulatorError emptyAnswer();

    Kind kind() const { return m_kind; }

private:
    ReformulatorError(Kind kind, QString description);
    Kind m_kind;
};

namespace OnDeviceAI {
// Runs `text` through a fresh session of the device's model opened with `instructions`, and
// gives the reply trimmed. Throws ReformulatorError, or CancelledError when `token` is cancelled.
QCoro::Task<QString> runWithLocalModel(LanguageModel& model, QString instructions, QString text,
                                       CancelToken token = {});

// Rethrows the exception in flight as ReformulatorError (an error's own description kept) or,
// for a cancellation, unchanged.
[[noreturn]] void rethrowAsReformulatorError(std::exception_ptr error);
// The trimmed reply, or the empty-answer error.
QString acceptedReply(const QString& reply);
} // namespace OnDeviceAI

namespace Reformulator {
QString instructions();
QCoro::Task<QString> reformulateWithLocalModel(LanguageModel& model, QString text,
                                               CancelToken token = {});
} // namespace Reformulator

} // namespace ovra
