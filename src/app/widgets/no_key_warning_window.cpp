#include "app/widgets/no_key_warning_window.h"

#include "app/no_key_warning_model.h"
#include "widgets/window_presenter.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ovra {

using Texts = NoKeyWarningModel::Texts;

NoKeyWarningWindow::NoKeyWarningWindow(Prefs& prefs) : m_prefs(prefs) {}

NoKeyWarningWindow::~NoKeyWarningWindow() = default;

void NoKeyWarningWindow::show() {
    if (!m_window)
        build();
    WindowPresenter::present(m_window.get());
}

void NoKeyWarningWindow::build() {
    m_window = std::make_unique<QDialog>();
    QDialog* window = m_window.get();
    window->setWindowTitle(Texts::windowTitle());
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = new NoKeyWarningModel(m_prefs, window);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(WindowPresenter::headline(Texts::title()));
    auto* callout = new QLabel(Texts::callout());
    callout->setWordWrap(true);
    layout->addWidget(callout);
    layout->addWidget(WindowPresenter::caption(Texts::explanation()));

    auto* dontShow = new QCheckBox(Texts::dontShowAgain());
    dontShow->setObjectName(QStringLiteral("dontShowAgain"));
    QObject::connect(dontShow, &QCheckBox::toggled, m_model, &NoKeyWarningModel::setDontShowAgain);
    layout->addWidget(dontShow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* notNow = new QPushButton(Texts::notNow());
    notNow->setObjectName(QStringLiteral("notNow"));
    notNow->setAutoDefault(false);
    auto* configure = new QPushButton(Texts::configureNow());
    configure->setObjectName(QStringLiteral("configureNow"));
    configure->setDefault(true);
    buttons->addWidget(notNow);
    buttons->addWidget(configure);
    layout->addLayout(buttons);

    QObject::connect(notNow, &QPushButton::clicked, window, &QDialog::close);
    QObject::connect(configure, &QPushButton::clicked, window, [this, window] {
        window->close(); // this window goes before the online engines window opens
        Q_EMIT configureNowRequested();
    });
    window->setFixedWidth(400 + 32);
}

} // namespace ovra
