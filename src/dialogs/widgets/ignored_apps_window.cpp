#include "dialogs/widgets/ignored_apps_window.h"

#include "widgets/window_presenter.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ovra {

using Texts = IgnoredAppsModel::Texts;

namespace {
constexpr int contentWidth = 420;
}

IgnoredAppsWindow::IgnoredAppsWindow(Prefs& prefs, IgnoredAppsModel::NameLookup nameLookup)
    : m_prefs(prefs), m_nameLookup(std::move(nameLookup)) {}

IgnoredAppsWindow::~IgnoredAppsWindow() = default;

void IgnoredAppsWindow::show() {
    if (m_window)
        m_model->reload();
    else
        build();
    WindowPresenter::present(m_window.get());
}

void IgnoredAppsWindow::build() {
    m_window = std::make_unique<QDialog>();
    QDialog* window = m_window.get();
    window->setWindowTitle(Texts::windowTitle());
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = new IgnoredAppsModel(m_prefs, m_nameLookup, window);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    // The window follows its content's height as rows come and go.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* title = WindowPresenter::headline(Texts::title());
    title->setFixedWidth(contentWidth);
    layout->addWidget(title);
    layout->addWidget(WindowPresenter::caption(Texts::explanation()));

    auto* rows = new QWidget;
    rows->setObjectName(QStringLiteral("rows"));
    m_rows = new QVBoxLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    layout->addWidget(rows);

    auto* bottom = new QHBoxLayout;
    m_reactivateAll = new QPushButton(Texts::reactivateAll());
    m_reactivateAll->setObjectName(QStringLiteral("reactivateAll"));
    m_reactivateAll->setAutoDefault(false);
    bottom->addWidget(m_reactivateAll);
    bottom->addStretch();
    auto* close = new QPushButton(Texts::close());
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    QObject::connect(m_reactivateAll, &QPushButton::clicked, m_model,
                     &IgnoredAppsModel::reactivateAll);
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);
    QObject::connect(m_model, &IgnoredAppsModel::appsChanged, window, [this] { rebuildRows(); });
    m_model->reload();
}

void IgnoredAppsWindow::rebuildRows() {
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            // Out of the window at once; deleted later, as a row's button may be mid-click.
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    const QList<IgnoredApp>& apps = m_model->apps();
    m_reactivateAll->setVisible(!apps.isEmpty());
    if (apps.isEmpty()) {
        auto* empty = WindowPresenter::caption(Texts::empty());
        empty->setObjectName(QStringLiteral("emptyText"));
        empty->setAlignment(Qt::AlignCenter);
        empty->setContentsMargins(0, 18, 0, 18);
        m_rows->addWidget(empty);
        settle();
        return;
    }
    for (qsizetype i = 0; i < apps.size(); ++i) {
        const IgnoredApp& app = apps[i];
        if (i > 0) {
            auto* line = new QFrame;
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            m_rows->addWidget(line);
        }
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("row:") + app.appId);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 6, 0, 6);
        rowLayout->setSpacing(8);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* title = new QLabel(IgnoredAppsModel::title(app));
        title->setObjectName(QStringLiteral("title"));
        title->setTextFormat(Qt::PlainText); // the application's own name
        QFont font = title->font();
        font.setWeight(QFont::Medium);
        title->setFont(font);
        texts->addWidget(title);
        auto* id = WindowPresenter::caption(app.appId);
        id->setObjectName(QStringLiteral("appId"));
        texts->addWidget(id);
        rowLayout->addLayout(texts);
        rowLayout->addStretch();
        auto* reactivate = new QPushButton(Texts::reactivate());
        reactivate->setObjectName(QStringLiteral("reactivate"));
        reactivate->setAutoDefault(false);
        const QString appId = app.appId;
        QObject::connect(reactivate, &QPushButton::clicked, m_model,
                         [model = m_model, appId] { model->reactivate(appId); });
        rowLayout->addWidget(reactivate);
        m_rows->addWidget(row);
    }
    settle();
}

void IgnoredAppsWindow::settle() {
    // Shown and laid out now rather than at the next turn of the loop, so the window takes its
    // new height at once.
    for (int i = 0; i < m_rows->count(); ++i)
        if (QWidget* widget = m_rows->itemAt(i)->widget())
            widget->show();
    m_window->layout()->activate();
}

} // namespace ovra
