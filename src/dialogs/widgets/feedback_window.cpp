#include "dialogs/widgets/feedback_window.h"

#include "dialogs/widgets/feedback_view.h"
#include "widgets/window_presenter.h"

#include <QDialog>
#include <QVBoxLayout>

namespace ovra {

FeedbackWindow::FeedbackWindow(Prefs& prefs, QString baseURL)
    : m_prefs(prefs), m_baseURL(std::move(baseURL)) {}

FeedbackWindow::~FeedbackWindow() = default;

void FeedbackWindow::show() {
    if (m_window)
        m_model->reload();
    else
        build();
    WindowPresenter::present(m_window.get());
}

void FeedbackWindow::build() {
    m_window = std::make_unique<QDialog>();
    QDialog* window = m_window.get();
    window->setWindowTitle(FeedbackModel::Texts::windowTitle());
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = new FeedbackModel(m_prefs, m_baseURL, FeedbackModel::deploymentVersion(), window);
    auto* view = new FeedbackView(*m_model, window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    window->setFixedWidth(460 + 32);
    QObject::connect(view, &FeedbackView::closeRequested, window, &QDialog::close);
}

} // namespace ovra
