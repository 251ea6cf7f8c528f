#include "panel/quick_action_flow.h"

#include "panel/panel_placement.h"
#include "panel/panel_view_model.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/work_owner.h"

OVRA_LOGGING_CATEGORY("ovra.panel");

namespace ovra {

QuickActionFlow::QuickActionFlow(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)), m_hideLater(m_deps.scheduler) {}

QuickActionFlow::~QuickActionFlow() {
    // Work still running ends now and finds nothing to write into.
    begin();
    m_window.reset();
}

quint64 QuickActionFlow::begin() {
    m_hideLater.cancel();
    // Swap first: cancelling may resume old work at once, and it must already be stale.
    CancelSource previous = std::exchange(m_cancel, CancelSource());
    ++m_generation;
    previous.cancel();
    return m_generation;
}

void QuickActionFlow::run(QuickAction action, const SelectionSnapshot& snapshot) {
    if (!QuickActions::replacesSelection(action))
        return;
    const quint64 generation = begin();
    m_written.reset();
    m_undoable = false;
    // Beside the selection, as the panel would be; the card stays there until it hides.
    const PanelPlacement::Desktop desktop{m_deps.screens.screens(),
                                          m_deps.screens.pointerLocation()};
    m_frame = PanelPlacement::frameFor({cardWidth, cardHeight}, snapshot, {}, desktop);
    if (snapshot.text.size() > PanelViewModel::maxSelectionLength) {
        show(State::failed, L10n::string(QStringLiteral("panel.selectionTooLong")));
        return;
    }
    // Text that cannot be edited would be pasted into a page that drops it.
    if (!snapshot.isEditable) {
        show(State::failed, L10n::string(QStringLiteral("card.notReplaceable")));
        return;
    }
    show(State::working, L10n::string(QStringLiteral("panel.working")));
    runAction(action, snapshot, generation);
}

QCoro::Task<EngineOutcome> QuickActionFlow::askEngine(QuickAction action, const QString& text,
                                                      CancelToken token) {
    // The card shows no text as it is written: only the whole answer replaces the selection.
    const TextProgress quiet = [](const QString&) {};
    switch (action) {
    case QuickAction::translateReplace:
        return m_deps.engines->translate(text, m_deps.prefs.targetLanguage(), std::move(token),
                                         quiet);
    case QuickAction::rephraseReplace:
        return m_deps.engines->reformulate(text, std::move(token), quiet);
    default:
        return m_deps.engines->runAction(AIActionKind::review, text, std::move(token), quiet);
    }
}

QCoro::Task<void> QuickActionFlow::runAction(QuickAction action, SelectionSnapshot snapshot,
                                             quint64 generation) {
    const WorkOwner owner(this, m_generation);
    std::optional<EngineOutcome> outcome;
    std::exception_ptr failure;
    try {
        outcome = co_await askEngine(action, snapshot.text, m_cancel.token());
    } catch (...) {
        failure = std::current_exception();
    }
    // Cancelled by the user or by a newer run, which took the card.
    if (!owner || isCancellation(failure))
        co_return;
    if (!outcome) {
        qCInfo(lc) << "quick action" << QuickActions::name(action) << "failed in the engine";
        show(State::failed, PanelViewModel::failureText(failure, m_deps.prefs, m_deps.keys));
        co_return;
    }

    const QString result = outcome->text;
    const std::optional<ReplaceOutcome> written = co_await write(snapshot, result, generation);
    if (!written)
        co_return;
    const ReplaceOutcome& replaced = *written;
    if (!replaced.succeeded()) {
        show(State::failed, replaced.message);
        co_return;
    }
    // The result now stands where the selection was: an undo replaces that range.
    m_original = snapshot.text;
    snapshot.text = result;
    snapshot.range.length = result.size();
    // Only a write whose element can be read back can be checked before it is undone; a paste
    // without one would land wherever the caret is now.
    m_undoable = !snapshot.element.isNull();
    m_written = std::move(snapshot);
    show(State::replaced, L10n::string(QStringLiteral("panel.replaced")));
}

void QuickActionFlow::cancel() {
    if (m_state != State::working || m_writingFor == m_generation)
        return;
    qCInfo(lc) << "quick action cancelled";
    begin();
    close();
}

void QuickActionFlow::undo() {
    if (!canUndo() || !m_written)
        return;
    const quint64 generation = begin();
    show(State::undoing, L10n::string(QStringLiteral("panel.working")));
    runUndo(*m_written, m_original, generation);
}

QCoro::Task<std::optional<ReplaceOutcome>>
QuickActionFlow::write(SelectionSnapshot target, QString text, quint64 generation) {
    const WorkOwner owner(this);
    m_writingFor = generation; // a write, once started, runs to its end: Escape no longer cancels
    std::optional<ReplaceOutcome> outcome;
    try {
        outcome = co_await m_deps.replacer.replace(std::move(target), std::move(text));
    } catch (...) {
    }
    if (!owner)
        co_return std::nullopt;
    if (m_writingFor == generation)
        m_writingFor = 0;
    if (generation != m_generation)
        co_return std::nullopt; // a newer run took the card
    co_return outcome.value_or(ReplaceOutcome::failed());
}

QCoro::Task<void> QuickActionFlow::runUndo(SelectionSnapshot written, QString original,
                                           quint64 generation) {
    const std::optional<ReplaceOutcome> answer =
        co_await write(std::move(written), std::move(original), generation);
    if (!answer)
        co_return;
    const ReplaceOutcome& outcome = *answer;
    m_written.reset();
    if (outcome.succeeded())
        show(State::undone, L10n::string(QStringLiteral("card.undone")));
    else if (outcome.kind == ReplaceOutcome::Kind::selectionChanged)
        show(State::failed, L10n::string(QStringLiteral("card.textChanged")));
    else
        show(State::failed, L10n::string(QStringLiteral("card.undoFailed")));
}

void QuickActionFlow::show(State state, QString message) {
    m_state = state;
    m_message = std::move(message);
    if (!m_window && m_deps.makeWindow)
        m_window = m_deps.makeWindow(*this);
    Q_EMIT changed();
    if (m_window) {
        m_window->setFrame(m_frame, false);
        m_window->showWithoutActivating();
    }
    if (state == State::working || state == State::undoing)
        return;
    m_hideLater.schedule(cardDuration, [this] { close(); });
}

void QuickActionFlow::close() {
    m_hideLater.cancel();
    if (m_window)
        m_window->hideWindow();
    if (m_state == State::hidden)
        return;
    m_state = State::hidden;
    Q_EMIT changed();
}

} // namespace ovra
