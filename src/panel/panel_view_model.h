#pragma once

#include "capture/selection_snapshot.h"
#include "engines/ai_chat_session.h"
#include "engines/engine_types.h"
#include "panel/panel_engines.h"
#include "panel/replacer.h"
#include "platform/clipboard_services.h"
#include "settings/catalogues.h"
#include "support/cancellation.h"
#include "support/scheduler.h"

#include <QList>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace ovra {

class KeyStore;
class Prefs;

// The state and the behaviour behind the floating panel, reused for every selection. The view
// renders its properties (re-reading them on each `changed()`) and calls its operations; the
// owner re-fits the window on `layoutChanged()` and hides it on `hideRequested()`.
//
// An outcome only ever lands in the selection that started it: `configure` and `reset` begin a
// new generation, cancel the work of the previous one and drop whatever it still reports.
// Main thread only.
class PanelViewModel : public QObject {
    Q_OBJECT
public:
    enum class Mode { none, translate, reformulate, review, summarize, ask };
    using Message = AIChatSession::Message;

    static constexpr Duration copiedFeedbackDuration{1200};
    static constexpr Duration layoutNotificationDelay{40};
    // Pieces of a streamed answer are shown at most once a frame: the first at once, one within a
    // frame of the last shown at the frame's end, together with any that came meanwhile.
    static constexpr Duration pieceFrame{16};
    static constexpr Duration hideAfterReplaceDelay{900};
    // Longer selections are not sent anywhere (UTF-16 units); the panel says so instead.
    static constexpr qsizetype maxSelectionLength = 100'000;
    // Longer results are shown cut, ending in "…"; copying and replacing use the whole text.
    static constexpr qsizetype maxShownLength = 100'000;
    static inline const QString deviceAIUnavailableText =
        QStringLiteral("IA no aparelho indisponível neste computador");

    PanelViewModel(std::shared_ptr<PanelEngines> engines, TextReplacing& replacer,
                   ClipboardServices& clipboard, Prefs& prefs, KeyStore& keys, Scheduler& scheduler,
                   QObject* parent = nullptr);
    ~PanelViewModel() override;

    // `text` as the panel shows it: at most maxShownLength units and a "…" where it was cut.
    static QString shownText(const QString& text);

    // Observable state.
    const QString& originalText() const { return m_originalText; }
    const std::optional<QString>& resultText() const { return m_resultText; }
    const std::optional<EngineKind>& resultEngine() const { return m_resultEngine; }
    Mode mode() const { return m_mode; }
    bool isWorking() const { return m_isWorking; }
    // The result is still being written: it grows with each piece, and is neither copied nor
    // written back until it is whole.
    bool resultIsArriving() const { return m_resultArriving; }
    // The answer broke off after part of it was shown: that part stays, but never replaces the
    // selection.
    bool resultIsIncomplete() const { return m_resultIncomplete; }
    // A write-back is running (for this selection or an earlier one): a second would write the
    // result twice and leave it on the clipboard.
    bool isReplacing() const { return m_isReplacing; }
    const std::optional<QString>& statusMessage() const { return m_statusMessage; }
    bool statusIsError() const { return m_statusIsError; }
    bool copiedFeedback() const { return m_copiedFeedback; }
    bool aiExpanded() const { return m_aiExpanded; }
    const QList<Message>& chatMessages() const { return m_chatMessages; }
    const TargetLanguage& targetLanguage() const { return m_targetLanguage; }
    // The language the panel's own labels are written in, as stored now.
    AppLanguage interfaceLanguage() const;

    const std::optional<SelectionSnapshot>& snapshot() const { return m_snapshot; }
    TranslationCoordinator& translationCoordinator() { return m_engines->translationCoordinator(); }
    // Whether the view offers to replace the selection with the result.
    bool canReplaceResult() const;

    // Stores the language at once; does not translate again.
    void setTargetLanguage(const TargetLanguage& language);
    // The language picker's change: stored, and translated again when showing a translation.
    void chooseTargetLanguage(const TargetLanguage& language);
    void setAIExpanded(bool expanded);

    void configure(const SelectionSnapshot& snapshot);
    void reset();

    void translate();
    void reformulate();
    void review();
    void summarize();
    void startAsk();
    void sendChat(const QString& question);
    void replace();
    void copy(const QString& text);
    void notifyLayoutChange();

    // The text shown for a failed action.
    QString friendlyMessage(std::exception_ptr error) const;
    // The same, for any owner of an action: the settings and keys tell which hint applies.
    static QString failureText(std::exception_ptr error, const Prefs& prefs, KeyStore& keys);

Q_SIGNALS:
    // Some observable property changed; the view renders the whole state again.
    void changed();
    // The content's size may have changed: the owner fits the window again.
    void layoutChanged();
    // The panel should go (its close button, or a replacement done).
    void hideRequested();

private:
    using Operation = std::function<QCoro::Task<EngineOutcome>(CancelToken, TextProgress)>;
    void startAction(Mode mode, Operation operation);
    // True, with the reason in the status line, when the selection is too long to send.
    bool refuseLongSelection();
    QCoro::Task<void> run(Operation operation);
    void showPartialResult(const QString& textSoFar);
    // Shows the answer's pieces arrived so far now, or at the end of the frame.
    void pieceArrived();
    void showPieces();
    void clearResult();
    QCoro::Task<void> runChat(std::shared_ptr<PanelChat> chat, QString question);
    QCoro::Task<void> runReplace(SelectionSnapshot snapshot, QString text);
    void beginGeneration();
    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    void setStatus(std::optional<QString> message, bool isError);

    std::shared_ptr<PanelEngines> m_engines;
    TextReplacing& m_replacer;
    ClipboardServices& m_clipboard;
    Prefs& m_prefs;
    KeyStore& m_keys;
    Scheduler& m_scheduler;

    QString m_originalText;
    std::optional<QString> m_resultText;
    std::optional<EngineKind> m_resultEngine;
    bool m_resultArriving = false;
    bool m_resultIncomplete = false;
    Mode m_mode = Mode::none;
    bool m_isWorking = false;
    bool m_isReplacing = false;
    std::optional<QString> m_statusMessage;
    bool m_statusIsError = false;
    bool m_copiedFeedback = false;
    bool m_aiExpanded = false;
    QList<Message> m_chatMessages;
    std::shared_ptr<PanelChat> m_chatSession;
    TargetLanguage m_targetLanguage;
    std::optional<SelectionSnapshot> m_snapshot;

    ScheduledWork m_pieceFrame{m_scheduler};
    std::optional<Duration> m_lastPieceShown; // of the answer arriving

    quint64 m_generation = 0;
    CancelSource m_generationCancel; // cancelled when the selection changes or the panel hides
};

} // namespace ovra
