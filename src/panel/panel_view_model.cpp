#include "panel/panel_view_model.h"

#include "engines/reformulator.h"
#include "engines/translation_coordinator.h"
#include "settings/key_store.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "support/errors.h"
#include "support/work_owner.h"

#include <algorithm>

namespace ovra {

namespace {

// The rare failure that is none of the engines' own errors.
const QString unexpectedFailureText = QStringLiteral("Algo deu errado. Tente de novo.");

} // namespace

PanelViewModel::PanelViewModel(std::shared_ptr<PanelEngines> engines, TextReplacing& replacer,
                               ClipboardServices& clipboard, Prefs& prefs, KeyStore& keys,
                               Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_engines(std::move(engines)), m_replacer(replacer), m_clipboard(clipboard),
      m_prefs(prefs), m_keys(keys), m_scheduler(scheduler),
      m_targetLanguage(prefs.targetLanguage()) {}

PanelViewModel::~PanelViewModel() {
    // Work still running ends now and finds nothing to write into.
    ++m_generation;
    m_generationCancel.cancel();
}

AppLanguage PanelViewModel::interfaceLanguage() const {
    return m_prefs.appLanguage();
}

bool PanelViewModel::canReplaceResult() const {
    if (!m_snapshot || !m_snapshot->isEditable || m_resultIncomplete)
        return false;
    return m_mode == Mode::translate || m_mode == Mode::reformulate || m_mode == Mode::review;
}

void PanelViewModel::setTargetLanguage(const TargetLanguage& language) {
    m_targetLanguage = language;
    m_prefs.setTargetLanguage(language);
    Q_EMIT changed();
}

void PanelViewModel::chooseTargetLanguage(const TargetLanguage& language) {
    setTargetLanguage(language);
    if (m_mode == Mode::translate && m_snapshot)
        translate();
}

void PanelViewModel::setAIExpanded(bool expanded) {
    if (m_aiExpanded == expanded)
        return;
    m_aiExpanded = expanded;
    Q_EMIT changed();
}

void PanelViewModel::beginGeneration() {
    ++m_generation;
    m_pieceFrame.cancel();
    // Swap first: cancelling may resume old work at once, and it must already be stale.
    CancelSource previous = std::exchange(m_generationCancel, CancelSource());
    previous.cancel();
}

void PanelViewModel::configure(const SelectionSnapshot& snapshot) {
    beginGeneration();
    m_snapshot = snapshot;
    m_originalText = snapshot.text;
    clearResult();
    m_mode = Mode::none;
    m_isWorking = false;
    m_statusMessage.reset();
    m_statusIsError = false;
    m_copiedFeedback = false;
    m_aiExpanded = false;
    m_chatMessages.clear();
    m_chatSession.reset();
    // Read afresh: a language chosen elsewhere since the last showing applies.
    m_targetLanguage = m_prefs.targetLanguage();
    m_prefs.setTargetLanguage(m_targetLanguage);
    Q_EMIT changed();
}

void PanelViewModel::reset() {
    beginGeneration();
    // A device translation waiting for a session ends here, silently.
    m_engines->translationCoordinator().cancelPending();
    m_snapshot.reset();
    clearResult();
    m_mode = Mode::none;
    m_isWorking = false;
    m_statusMessage.reset();
    m_copiedFeedback = false;
    m_aiExpanded = false;
    m_chatMessages.clear();
    m_chatSession.reset();
    Q_EMIT changed();
}

void PanelViewModel::clearResult() {
    m_resultText.reset();
    m_resultEngine.reset();
    m_resultArriving = false;
    m_resultIncomplete = false;
}

void PanelViewModel::setStatus(std::optional<QString> message, bool isError) {
    m_statusMessage = std::move(message);
    m_statusIsError = isError;
}

void PanelViewModel::translate() {
    if (!m_snapshot || refuseLongSelection())
        return;
    const QString text = m_snapshot->text;
    const TargetLanguage target = m_targetLanguage;
    startAction(Mode::translate,
                [engines = m_engines, text, target](CancelToken token, TextProgress progress) {
                    return engines->translate(text, target, std::move(token), std::move(progress));
                });
}

void PanelViewModel::reformulate() {
    if (!m_snapshot || refuseLongSelection())
        return;
    const QString text = m_snapshot->text;
    startAction(Mode::reformulate,
                [engines = m_engines, text](CancelToken token, TextProgress progress) {
                    return engines->reformulate(text, std::move(token), std::move(progress));
                });
}

void PanelViewModel::review() {
    if (!m_snapshot || refuseLongSelection())
        return;
    const QString text = m_snapshot->text;
    startAction(Mode::review,
                [engines = m_engines, text](CancelToken token, TextProgress progress) {
                    return engines->runAction(AIActionKind::review, text, std::move(token),
                                              std::move(progress));
                });
}

void PanelViewModel::summarize() {
    if (!m_snapshot || refuseLongSelection())
        return;
    const QString text = m_snapshot->text;
    startAction(Mode::summarize,
                [engines = m_engines, text](CancelToken token, TextProgress progress) {
                    return engines->runAction(AIActionKind::summarize, text, std::move(token),
                                              std::move(progress));
                });
}

QString PanelViewModel::shownText(const QString& text) {
    if (text.size() <= maxShownLength)
        return text;
    qsizetype cut = maxShownLength;
    if (text[cut - 1].isHighSurrogate())
        --cut; // never half a character
    return text.left(cut) + u'…';
}

bool PanelViewModel::refuseLongSelection() {
    if (m_snapshot->text.size() <= maxSelectionLength)
        return false;
    setStatus(L10n::string(QStringLiteral("panel.selectionTooLong")), true);
    Q_EMIT changed();
    notifyLayoutChange();
    return true;
}

void PanelViewModel::startAction(Mode mode, Operation operation) {
    m_mode = mode;
    // The task runs on by itself; it is neither stored nor awaited.
    run(std::move(operation));
}

QCoro::Task<void> PanelViewModel::run(Operation operation) {
    const WorkOwner owner(this, m_generation);
    m_isWorking = true;
    m_resultIncomplete = false;
    m_lastPieceShown.reset();
    setStatus(std::nullopt, false);
    Q_EMIT changed();

    // Pieces of an answer show as they come (once a frame); pieces of work this panel has moved on
    // from are dropped.
    TextProgress progress = [owner, this](const QString& textSoFar) {
        if (owner)
            showPartialResult(textSoFar);
    };
    std::optional<EngineOutcome> outcome;
    std::exception_ptr failure;
    try {
        outcome = co_await operation(m_generationCancel.token(), std::move(progress));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!owner)
        co_return;
    m_pieceFrame.cancel(); // the whole answer shows now

    const bool partShown = std::exchange(m_resultArriving, false);
    if (outcome) {
        m_resultText = outcome->text;
        m_resultEngine = outcome->engine;
        if (outcome->usedFallback)
            setStatus(L10n::string(QStringLiteral("panel.fallbackNote")), false);
    } else if (partShown && !isCancellation(failure)) {
        // The part already read stays, marked as such; the reason would say little more.
        m_resultIncomplete = true;
        setStatus(L10n::string(QStringLiteral("panel.incompleteAnswer")), true);
    } else if (!isCancellation(failure)) {
        setStatus(friendlyMessage(failure), true);
    }
    m_isWorking = false;
    Q_EMIT changed();
    notifyLayoutChange();
}

void PanelViewModel::showPartialResult(const QString& textSoFar) {
    m_resultText = textSoFar;
    m_resultEngine = EngineKind::online; // only the online AI writes as it goes
    m_resultArriving = true;
    pieceArrived();
}

void PanelViewModel::pieceArrived() {
    if (m_pieceFrame.isPending())
        return; // shown with the frame's end
    const Duration now = m_scheduler.now();
    if (!m_lastPieceShown || now - *m_lastPieceShown >= pieceFrame) {
        showPieces();
        return;
    }
    m_pieceFrame.schedule(*m_lastPieceShown + pieceFrame - now, [this] { showPieces(); });
}

void PanelViewModel::showPieces() {
    m_lastPieceShown = m_scheduler.now();
    Q_EMIT changed();
    notifyLayoutChange();
}

void PanelViewModel::startAsk() {
    if (!m_snapshot || refuseLongSelection())
        return;
    m_mode = Mode::ask;
    if (!m_chatSession)
        m_chatSession = m_engines->makeChat(m_snapshot->text);
    setStatus(std::nullopt, false);
    Q_EMIT changed();
    notifyLayoutChange();
}

void PanelViewModel::sendChat(const QString& question) {
    const QString trimmed = question.trimmed();
    if (trimmed.isEmpty() || m_isWorking)
        return;
    if (!m_chatSession)
        startAsk();
    if (!m_chatSession)
        return;
    m_chatMessages.append(Message{QUuid::createUuid(), true, trimmed});
    m_isWorking = true;
    setStatus(std::nullopt, false);
    Q_EMIT changed();
    notifyLayoutChange();
    runChat(m_chatSession, trimmed);
}

QCoro::Task<void> PanelViewModel::runChat(std::shared_ptr<PanelChat> chat, QString question) {
    const WorkOwner owner(this, m_generation);
    m_lastPieceShown.reset();
    // The answer joins the conversation with its first piece and grows there.
    const QUuid answerId = QUuid::createUuid();
    const auto writeAnswer = [this, answerId](const QString& text) {
        for (Message& message : m_chatMessages)
            if (message.id == answerId) {
                message.text = text;
                return true;
            }
        m_chatMessages.append(Message{answerId, false, text});
        return false;
    };
    TextProgress progress = [owner, this, writeAnswer](const QString& textSoFar) {
        if (!owner)
            return;
        writeAnswer(textSoFar);
        pieceArrived();
    };
    std::optional<QString> answer;
    std::exception_ptr failure;
    try {
        answer = co_await chat->ask(question, m_generationCancel.token(), std::move(progress));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!owner)
        co_return;
    m_pieceFrame.cancel(); // the whole answer shows now

    const bool partShown =
        std::any_of(m_chatMessages.cbegin(), m_chatMessages.cend(),
                    [&](const Message& message) { return message.id == answerId; });
    if (answer)
        writeAnswer(*answer);
    else if (partShown && !isCancellation(failure))
        setStatus(L10n::string(QStringLiteral("panel.incompleteAnswer")), true);
    else if (!isCancellation(failure))
        setStatus(friendlyMessage(failure), true);
    m_isWorking = false;
    Q_EMIT changed();
    notifyLayoutChange();
}

void PanelViewModel::replace() {
    if (m_isReplacing || !m_snapshot || !m_resultText || m_resultArriving || m_resultIncomplete)
        return;
    m_isReplacing = true;
    m_isWorking = true;
    m_statusMessage.reset();
    Q_EMIT changed();
    runReplace(*m_snapshot, *m_resultText);
}

QCoro::Task<void> PanelViewModel::runReplace(SelectionSnapshot snapshot, QString text) {
    const WorkOwner owner(this, m_generation);
    const quint64 generation = m_generation;
    TextReplacing& replacer = m_replacer;
    // The replacer answers with an outcome; should it throw all the same, the button must still
    // come back, so that is a failed write (or, when cancelled, one nobody waits for).
    std::optional<ReplaceOutcome> answer;
    std::exception_ptr failure;
    try {
        answer = co_await replacer.replace(std::move(snapshot), std::move(text));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!owner.isAlive())
        co_return;
    m_isReplacing = false;
    if (!owner.isCurrent()) {
        Q_EMIT changed(); // the button comes back for the selection shown now
        co_return;
    }

    m_isWorking = false;
    const ReplaceOutcome outcome = answer.value_or(ReplaceOutcome::failed());
    if (outcome.succeeded()) {
        setStatus(L10n::string(QStringLiteral("panel.replaced")), false);
        m_scheduler.schedule(hideAfterReplaceDelay, this, [this, generation] {
            // A panel showing another selection by now stays.
            if (isCurrent(generation))
                Q_EMIT hideRequested();
        });
    } else if (answer || !isCancellation(failure)) {
        setStatus(outcome.message, true);
    }
    Q_EMIT changed();
    notifyLayoutChange();
}

void PanelViewModel::copy(const QString& text) {
    m_clipboard.clearContents();
    m_clipboard.setString(text);
    m_copiedFeedback = true;
    Q_EMIT changed();
    // Each copy ends its own confirmation; an earlier one is not extended.
    m_scheduler.schedule(copiedFeedbackDuration, this, [this] {
        if (!m_copiedFeedback)
            return;
        m_copiedFeedback = false;
        Q_EMIT changed();
    });
}

void PanelViewModel::notifyLayoutChange() {
    m_scheduler.schedule(layoutNotificationDelay, this, [this] { Q_EMIT layoutChanged(); });
}

QString PanelViewModel::friendlyMessage(std::exception_ptr error) const {
    return failureText(std::move(error), m_prefs, m_keys);
}

QString PanelViewModel::failureText(std::exception_ptr error, const Prefs& prefs, KeyStore& keys) {
    try {
        std::rethrow_exception(error);
    } catch (const ReformulatorError& failure) {
        if (failure.kind() == ReformulatorError::Kind::underlying)
            return failure.description();
        const AIProvider provider = prefs.aiProvider();
        const std::optional<QString> key = keys.aiAPIKey(provider);
        if (key && !key->isEmpty())
            return deviceAIUnavailableText;
        return L10n::string(QStringLiteral("panel.aiUnavailableHint"));
    } catch (const Error& failure) {
        return failure.description();
    } catch (...) {
        return unexpectedFailureText;
    }
}

} // namespace ovra
