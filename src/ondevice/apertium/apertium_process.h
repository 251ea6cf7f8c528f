#pragma once

#include "support/cancellation.h"
#include "support/errors.h"
#include "support/scheduler.h"

#include <QString>
#include <functional>
#include <qcoro/qcorotask.h>

namespace ovra {

// A failure of the device's translator.
class DeviceTranslationError : public Error {
public:
    using Error::Error;
};

// Runs one Apertium mode as a child process fed on standard input. The child and the pipeline
// it starts get their own process group, so a cancel or a time-out ends all of them.
class ApertiumProcess {
public:
    struct Options {
        QString program = QStringLiteral("apertium");
        QString dataDir = QStringLiteral("/usr/share/apertium"); // holds modes/
        Duration timeout{30'000};
        // Called with the child's process id once it runs (tests watch the child with it).
        std::function<void(qint64)> onStarted;
    };

    // The translation of `text` through `mode`, as Apertium writes it. Throws
    // DeviceTranslationError, or CancelledError once `token` is cancelled (the child is killed
    // and reaped first).
    static QCoro::Task<QString> run(const Options& options, Scheduler& scheduler, QString mode,
                                    QString text, CancelToken token = {});
};

} // namespace ovra
