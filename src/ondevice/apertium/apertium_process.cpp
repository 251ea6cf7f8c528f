#include "ondevice/apertium/apertium_process.h"

#include "engines/one_shot.h"
#include "support/logging.h"

#include <QPointer>
#include <QProcess>
#include <csignal>
#include <memory>
#include <unistd.h>

OVRA_LOGGING_CATEGORY("ovra.ondevice");

namespace ovra {

namespace {

void killGroup(QProcess* process) {
    const qint64 pid = process->processId();
    // The child leads its own group (see the modifier below): end the whole pipeline.
    if (pid > 0)
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
    process->kill();
}

// The run resumes from inside the child's own signals, so the QProcess must not be deleted there
// and then: it goes at the next turn of the loop, its whole group killed first if still alive.
struct DeleteLater {
    void operator()(QProcess* process) const {
        if (process->state() != QProcess::NotRunning)
            killGroup(process);
        process->disconnect(); // nothing may resume a run that has ended
        process->deleteLater();
    }
};

struct RunState {
    bool timedOut = false;
    bool failedToStart = false;
};

} // namespace

QCoro::Task<QString> ApertiumProcess::run(const Options& options, Scheduler& scheduler,
                                          QString mode, QString text, CancelToken token) {
    token.throwIfCancelled();
    const std::unique_ptr<QProcess, DeleteLater> process(new QProcess());
    QProcess* raw = process.get();
    raw->setProgram(options.program);
    // -u: unknown words as they are, without Apertium's "*" marks.
    raw->setArguments({QStringLiteral("-u"), QStringLiteral("-f"), QStringLiteral("txt"),
                       QStringLiteral("-d"), options.dataDir, mode});
    raw->setStandardErrorFile(QProcess::nullDevice());
    raw->setChildProcessModifier([] { ::setpgid(0, 0); });

    auto done = OneShot<bool>::make();
    auto state = std::make_shared<RunState>();
    QObject::connect(raw, &QProcess::finished, raw, [done] { done->resolve(true); });
    QObject::connect(raw, &QProcess::errorOccurred, raw,
                     [done, state](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         state->failedToStart = true;
                         done->resolve(false);
                     });
    if (options.onStarted) {
        QObject::connect(raw, &QProcess::started, raw,
                         [raw, notify = options.onStarted] { notify(raw->processId()); });
    }

    ScheduledWork deadline(scheduler);
    const QPointer<QProcess> guard(raw);
    deadline.schedule(options.timeout, [guard, state] {
        if (!guard)
            return;
        state->timedOut = true;
        killGroup(guard);
    });
    auto subscription = token.onCancel([guard] {
        if (guard)
            killGroup(guard);
    });

    raw->start();
    raw->write(text.toUtf8());
    raw->closeWriteChannel();
    co_await done->wait();
    subscription.reset();
    deadline.cancel();

    if (token.isCancelled())
        throw CancelledError();
    if (state->failedToStart) {
        qCWarning(lc) << "Apertium could not be started";
        throw DeviceTranslationError(
            QStringLiteral("O tradutor do aparelho (Apertium) não está instalado."));
    }
    if (state->timedOut) {
        qCWarning(lc) << "Apertium did not finish in time and was stopped";
        throw DeviceTranslationError(
            QStringLiteral("A tradução no aparelho demorou demais e foi interrompida."));
    }
    if (raw->exitStatus() != QProcess::NormalExit || raw->exitCode() != 0) {
        qCWarning(lc) << "Apertium failed: exit status" << int(raw->exitStatus()) << "code"
                      << raw->exitCode();
        throw DeviceTranslationError(
            QStringLiteral("O tradutor do aparelho falhou. Tente de novo."));
    }
    co_return QString::fromUtf8(raw->readAllStandardOutput());
}

} // namespace ovra
