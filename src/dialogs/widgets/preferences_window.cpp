#include "dialogs/widgets/preferences_window.h"

#include "dialogs/preferences_model.h"
#include "dialogs/widgets/preferences_view.h"
#include "settings/l10n.h"
#include "widgets/window_presenter.h"

#include <QDialog>
#include <QVBoxLayout>

namespace ovra {

PreferencesWindow::PreferencesWindow(Prefs& prefs, TranslationService& translation,
                                     SessionAutostart& autostart,
                                     std::function<void()> postHotKeyChanged)
    : m_prefs(prefs), m_translation(translation), m_autostart(autostart),
      m_postHotKeyChanged(std::move(postHotKeyChanged)) {}

PreferencesWindow::~PreferencesWindow() = default;

void PreferencesWindow::show() {
    if (m_window) {
        m_model->refreshShortcutDisplay();
        m_model->stopRecording();
    } else {
        build();
    }
    WindowPresenter::present(m_window.get());
}

void PreferencesWindow::build() {
    m_window = std::make_unique<QDialog>();
    QDialog* window = m_window.get();
    window->setWindowTitle(L10n::string(QStringLiteral("prefs.title")));
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = std::make_unique<PreferencesModel>(m_prefs, m_translation, m_autostart,
                                                 m_postHotKeyChanged);
    m_model->setShortcutSetup(shortcutSetup);
    m_view = new PreferencesView(*m_model, window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_view);
    connect(m_view, &PreferencesView::openEnginesRequested, this,
            &PreferencesWindow::openEnginesRequested);
    connect(m_view, &PreferencesView::openIgnoredRequested, this,
            &PreferencesWindow::openIgnoredRequested);
    connect(m_view, &PreferencesView::closeRequested, window, &QDialog::close);
}

} // namespace ovra
