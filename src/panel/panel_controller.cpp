#include "panel/panel_controller.h"

#include "support/logging.h"
#include "support/work_owner.h"

#include <cmath>

OVRA_LOGGING_CATEGORY("ovra.panel");

namespace ovra {

PanelController::PanelController(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_dependencies(std::move(dependencies)),
      m_followUpRefit(m_dependencies.scheduler) {}

PanelController::~PanelController() {
    m_sourceGoneObserver.reset();
    // The window and the session host go before the model they serve.
    m_sessionHost.reset();
    m_panel.reset();
}

void PanelController::ensurePanel() {
    if (m_panel)
        return;
    m_viewModel = m_dependencies.makeViewModel();
    if (!m_viewModel)
        return;
    connect(m_viewModel.get(), &PanelViewModel::hideRequested, this, &PanelController::hide);
    connect(m_viewModel.get(), &PanelViewModel::layoutChanged, this, &PanelController::refit);
    if (m_dependencies.translation)
        m_sessionHost = std::make_unique<TranslationSessionHost>(
            m_viewModel->translationCoordinator(), *m_dependencies.translation);
    m_panel = m_dependencies.makeWindow(*m_viewModel);
}

void PanelController::show(const SelectionSnapshot& snapshot) {
    ensurePanel();
    if (!m_panel || !m_viewModel)
        return;
    m_currentSnapshot = snapshot;
    qCInfo(lc) << "panel shown for app" << snapshot.appId << "pid" << snapshot.pid
               << "selection bounds known" << snapshot.screenBounds.has_value();
    m_avoidRects =
        m_dependencies.toolbarRects ? m_dependencies.toolbarRects(snapshot.pid) : QList<QRectF>();
    m_viewModel->configure(snapshot);
    m_panel->layoutContent();
    m_panel->setFrame(frameFor({PanelPlacement::panelWidth, contentHeight()}, snapshot), false);
    m_panel->showWithoutActivating();
    if (m_sessionHost)
        m_sessionHost->setActive(true);
    watchSource(snapshot.pid);
    m_followUpRefit.schedule(refitDelayAfterShow, [this] { refit(); });
}

void PanelController::refit() {
    if (!m_panel || !m_panel->isVisible() || !m_currentSnapshot)
        return;
    const QRectF frame =
        frameFor({PanelPlacement::panelWidth, contentHeight()}, *m_currentSnapshot);
    if (frame == m_panel->frame())
        return;
    // While an answer streams in, the panel follows it at once: an animation for every line would
    // repaint the whole window each frame while the text arrives.
    const bool streaming =
        m_viewModel &&
        (m_viewModel->resultIsArriving() ||
         (m_viewModel->mode() == PanelViewModel::Mode::ask && m_viewModel->isWorking()));
    m_panel->setFrame(frame, !streaming);
}

void PanelController::watchSource(qint32 pid) {
    m_sourceGoneObserver.reset();
    if (!m_dependencies.workspace || pid <= 0)
        return;
    // A panel about text in an application that is gone can do nothing useful.
    m_sourceGoneObserver = m_dependencies.workspace->observeApplicationGone(
        pid, whileAlive(this, [this, pid] {
            if (m_currentSnapshot && m_currentSnapshot->pid == pid)
                hide();
        }));
}

void PanelController::hide() {
    m_sourceGoneObserver.reset();
    if (m_currentSnapshot)
        qCInfo(lc) << "panel hidden";
    if (m_sessionHost)
        m_sessionHost->setActive(false);
    if (m_panel)
        m_panel->hideWindow();
    if (m_viewModel)
        m_viewModel->reset();
    const std::optional<SelectionSnapshot> prior = std::exchange(m_currentSnapshot, std::nullopt);
    m_avoidRects.clear();
    m_followUpRefit.cancel();
    if (prior)
        Q_EMIT hidden(*prior);
}

double PanelController::contentHeight() const {
    const std::optional<double> fitting = m_panel ? m_panel->fittingHeight() : std::nullopt;
    if (!fitting)
        return PanelPlacement::heightWithoutContent;
    if (std::isnan(*fitting))
        return PanelPlacement::minimumHeight;
    return std::max(*fitting, PanelPlacement::minimumHeight);
}

QRectF PanelController::frameFor(QSizeF size, const SelectionSnapshot& snapshot) const {
    const PanelPlacement::Desktop desktop{m_dependencies.screens.screens(),
                                          m_dependencies.screens.pointerLocation()};
    return PanelPlacement::frameFor(size, snapshot, m_avoidRects, desktop);
}

} // namespace ovra
