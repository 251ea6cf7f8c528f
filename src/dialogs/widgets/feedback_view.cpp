#include "dialogs/widgets/feedback_view.h"

#include "dialogs/feedback_model.h"
#include "widgets/window_presenter.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ovra {

using Texts = FeedbackModel::Texts;

FeedbackView::FeedbackView(FeedbackModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    layout->addWidget(WindowPresenter::headline(Texts::title()));
    layout->addWidget(WindowPresenter::caption(Texts::explanation(), false));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setPlaceholderText(Texts::namePlaceholder());
    form->addRow(Texts::nameLabel(), m_name);
    m_email = new QLineEdit;
    m_email->setObjectName(QStringLiteral("email"));
    m_email->setPlaceholderText(Texts::emailPlaceholder());
    form->addRow(Texts::emailLabel(), m_email);
    layout->addLayout(form);

    auto* messageLabel = new QLabel(Texts::messageLabel());
    QFont bold = messageLabel->font();
    bold.setBold(true);
    messageLabel->setFont(bold);
    layout->addWidget(messageLabel);
    m_message = new QPlainTextEdit;
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setFixedHeight(120);
    m_message->setTabChangesFocus(true);
    m_message->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { border: 1px solid palette(mid); border-radius: 6px; padding: 2px; }"));
    layout->addWidget(m_message);

    auto* bottom = new QHBoxLayout;
    m_progress = new QProgressBar;
    m_progress->setRange(0, 0); // busy
    m_progress->setFixedSize(16, 16);
    m_progress->setTextVisible(false);
    bottom->addWidget(m_progress);
    m_status = WindowPresenter::caption(QString(), false);
    m_status->setObjectName(QStringLiteral("status"));
    bottom->addWidget(m_status, 1);
    auto* close = new QPushButton(Texts::close());
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    m_send = new QPushButton(Texts::send());
    m_send->setObjectName(QStringLiteral("send"));
    m_send->setDefault(true);
    bottom->addWidget(close);
    bottom->addWidget(m_send);
    layout->addLayout(bottom);

    connect(m_name, &QLineEdit::textEdited, &m_model, &FeedbackModel::setName);
    connect(m_email, &QLineEdit::textEdited, &m_model, &FeedbackModel::setEmail);
    connect(m_message, &QPlainTextEdit::textChanged, this,
            [this] { m_model.setMessage(m_message->toPlainText()); });
    connect(close, &QPushButton::clicked, this, &FeedbackView::closeRequested);
    connect(m_send, &QPushButton::clicked, &m_model, &FeedbackModel::send);
    connect(&m_model, &FeedbackModel::changed, this, &FeedbackView::refresh);
    refresh();
}

void FeedbackView::refresh() {
    if (m_name->text() != m_model.name())
        m_name->setText(m_model.name());
    if (m_email->text() != m_model.email())
        m_email->setText(m_model.email());
    if (m_message->toPlainText() != m_model.message())
        m_message->setPlainText(m_model.message());

    using State = FeedbackModel::SendState;
    const State state = m_model.state();
    m_progress->setVisible(state == State::sending);
    switch (state) {
    case State::idle:
        m_status->clear();
        WindowPresenter::setTextColor(m_status, "");
        break;
    case State::sending:
        m_status->setText(Texts::sending());
        WindowPresenter::setTextColor(m_status, "");
        break;
    case State::sent:
        m_status->setText(Texts::sent());
        WindowPresenter::setTextColor(m_status, "#2e7d32");
        break;
    case State::failed:
        m_status->setText(m_model.failureText());
        WindowPresenter::setTextColor(m_status, "#c62828");
        break;
    }
    m_send->setText(state == State::sending ? Texts::sending() : Texts::send());
    m_send->setEnabled(m_model.canSend());
}

} // namespace ovra
