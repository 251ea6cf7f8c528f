#pragma once

#include "capture/selection_snapshot.h"
#include "engines/translation_coordinator.h"
#include "panel/panel_placement.h"
#include "panel/panel_view_model.h"
#include "platform/panel_window.h"
#include "platform/screen_services.h"
#include "platform/workspace_services.h"
#include "support/scheduler.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <functional>
#include <memory>
#include <optional>

namespace ovra {

// Owns the floating panel: shows it for a selection beside that selection on the right screen,
// clear of the source application's toolbars, keeps it fitted to its content, and hides it.
// The window and the view model are created on the first `show` and kept. Main thread only.
class PanelController : public QObject {
    Q_OBJECT
public:
    static constexpr Duration refitDelayAfterShow{60};

    struct Dependencies {
        std::function<std::unique_ptr<PanelViewModel>()> makeViewModel;
        // The window showing the view for `model`; the model outlives it.
        std::function<std::unique_ptr<PanelWindow>(PanelViewModel& model)> makeWindow;
        // Screen frames of the toolbars of process `pid`.
        std::function<QList<QRectF>(qint32 pid)> toolbarRects;
        ScreenServices& screens;
        Scheduler& scheduler;
        // Watches the source application so the panel goes when it does; may be null.
        WorkspaceServices* workspace = nullptr;
        // Delivers device translation sessions while the panel shows; may be null.
        TranslationService* translation = nullptr;
    };

    explicit PanelController(Dependencies dependencies, QObject* parent = nullptr);
    ~PanelController() override;

    void show(const SelectionSnapshot& snapshot);
    void hide();

    PanelViewModel* viewModel() const { return m_viewModel.get(); }
    PanelWindow* panel() const { return m_panel.get(); }
    const std::optional<SelectionSnapshot>& currentSnapshot() const { return m_currentSnapshot; }
    const QList<QRectF>& avoidRects() const { return m_avoidRects; }

    // Re-measures the content and moves the panel, animated, when its frame changes.
    void refit();

Q_SIGNALS:
    // Sent by hide() with the selection that was on screen.
    void hidden(const SelectionSnapshot& shown);

private:
    void ensurePanel();
    double contentHeight() const;
    QRectF frameFor(QSizeF size, const SelectionSnapshot& snapshot) const;
    void watchSource(qint32 pid);

    Dependencies m_dependencies;
    std::unique_ptr<PanelViewModel> m_viewModel; // declared first: the window refers to it
    std::unique_ptr<PanelWindow> m_panel;
    std::unique_ptr<TranslationSessionHost> m_sessionHost; // serves the model's coordinator
    std::optional<SelectionSnapshot> m_currentSnapshot;
    QList<QRectF> m_avoidRects;
    ScheduledWork m_followUpRefit;
    Subscription m_sourceGoneObserver;
};

} // namespace ovra
