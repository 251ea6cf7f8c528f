#pragma once

#include "capture/selection_snapshot.h"
#include "panel/panel_engines.h"
#include "panel/replacer.h"
#include "platform/panel_window.h"
#include "platform/screen_services.h"
#include "settings/quick_actions.h"
#include "support/cancellation.h"
#include "support/scheduler.h"

#include <QObject>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>

namespace ovra {

class KeyStore;
class Prefs;

// An action that writes its result in place of the selection without the panel: it runs the
// engine on the captured text (a translation into the panel's current target language, a
// reformulation or a review), writes the result back through the same verified write as the
// panel's "Substituir", and tells the outcome on a small card beside the selection, shown for
// cardDuration without taking the focus. Once replaced, "Desfazer" writes the original text back
// over the result the same way; a text changed since is left alone, and the card says so.
//
// One run at a time: a new one ends the one before. The engine's work can be cancelled (Escape);
// a write, once started, runs to its end. Main thread only.
class QuickActionFlow final : public QObject {
    Q_OBJECT
public:
    static constexpr Duration cardDuration{8000};
    static constexpr double cardWidth = 260;
    static constexpr double cardHeight = 44;

    enum class State {
        hidden,
        working,  // the engine runs, then the write: "Trabalhando…"
        replaced, // "Substituído ✓", with "Desfazer" where the write can be checked
        failed,   // the failure's text
        undoing,
        undone,
    };

    struct Dependencies {
        std::shared_ptr<PanelEngines> engines;
        TextReplacing& replacer;
        Prefs& prefs;
        KeyStore& keys;
        Scheduler& scheduler;
        ScreenServices& screens;
        // The card's window, made at the first run and kept; it shows this flow's state.
        std::function<std::unique_ptr<PanelWindow>(QuickActionFlow& flow)> makeWindow;
    };

    explicit QuickActionFlow(Dependencies dependencies, QObject* parent = nullptr);
    ~QuickActionFlow() override;

    // Runs a replacing action on `snapshot`; other actions are not this flow's and are ignored.
    void run(QuickAction action, const SelectionSnapshot& snapshot);
    // Ends the engine's work still running and hides the card; nothing once the write started.
    void cancel();
    // Writes the original text back over the result (replaced state with canUndo only).
    void undo();
    // Hides the card now.
    void close();

    State state() const { return m_state; }
    // The card's text (plain text: an engine's failure may quote a service).
    const QString& message() const { return m_message; }
    bool canUndo() const { return m_state == State::replaced && m_undoable; }
    PanelWindow* window() const { return m_window.get(); }

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<void> runAction(QuickAction action, SelectionSnapshot snapshot, quint64 generation);
    QCoro::Task<void> runUndo(SelectionSnapshot written, QString original, quint64 generation);
    // The replacer's write for the run `generation`; nothing when the flow is gone or a newer run
    // took the card meanwhile.
    QCoro::Task<std::optional<ReplaceOutcome>> write(SelectionSnapshot target, QString text,
                                                     quint64 generation);
    QCoro::Task<EngineOutcome> askEngine(QuickAction action, const QString& text,
                                         CancelToken token);
    void show(State state, QString message);
    quint64 begin();

    Dependencies m_deps;
    std::unique_ptr<PanelWindow> m_window;
    State m_state = State::hidden;
    QString m_message;
    bool m_undoable = false;
    quint64 m_writingFor = 0; // the generation whose write runs now, if any
    // The selection as the write left it, and the text it replaced: what an undo needs.
    std::optional<SelectionSnapshot> m_written;
    QString m_original;
    QRectF m_frame;
    quint64 m_generation = 0;
    CancelSource m_cancel;
    ScheduledWork m_hideLater;
};

} // namespace ovra
