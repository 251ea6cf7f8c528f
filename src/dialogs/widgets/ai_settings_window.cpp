#include "dialogs/widgets/ai_settings_window.h"

#include "dialogs/ai_settings_model.h"
#include "dialogs/widgets/ai_settings_view.h"
#include "widgets/window_presenter.h"

#include <QDialog>
#include <QVBoxLayout>
#include <cmath>

namespace ovra {

namespace {
constexpr int contentWidth = 460;
}

AISettingsWindow::AISettingsWindow(Prefs& prefs, KeyStore& keys, Scheduler& scheduler)
    : m_prefs(prefs), m_keys(keys), m_scheduler(scheduler) {}

AISettingsWindow::~AISettingsWindow() = default;

void AISettingsWindow::show() {
    if (m_window)
        m_model->reload();
    else
        build();
    WindowPresenter::present(m_window.get());
}

void AISettingsWindow::build() {
    m_window = std::make_unique<QDialog>();
    QDialog* window = m_window.get();
    window->setWindowTitle(QStringLiteral("Ovra — Motores online"));
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = new AISettingsModel(m_prefs, m_keys, m_scheduler, window);
    m_view = new AISettingsView(*m_model, window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    window->setFixedWidth(contentWidth + 32);
    QObject::connect(m_view, &AISettingsView::closeRequested, window, &QDialog::close);
    // Only changes count, not the value shown at creation.
    QObject::connect(m_model, &AISettingsModel::providerChanged, window,
                     [this] { m_fit.schedule(fitDelay, [this] { fitWindowToContent(); }); });
}

void AISettingsWindow::fitWindowToContent() {
    if (!m_window || !m_view)
        return;
    QDialog* window = m_window.get();
    window->layout()->activate();
    const int height = window->layout()->hasHeightForWidth()
                           ? window->layout()->totalHeightForWidth(window->width())
                           : window->sizeHint().height();
    if (height <= 0)
        return;
    const int delta = height - window->height();
    // Qt's origin is the top-left corner: changing the height alone keeps the top edge in place.
    if (std::abs(delta) > 0)
        window->resize(window->width(), height);
}

} // namespace ovra
