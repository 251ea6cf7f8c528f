#include "panel/widgets/action_card_window.h"

#include "panel/quick_action_flow.h"
#include "settings/l10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ovra {

ActionCardWindow::ActionCardWindow(QuickActionFlow& flow, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      m_flow(flow) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    // Not "Ovra": that names the panel's window, which tests and scripts look for.
    setWindowTitle(QStringLiteral("Ovra card"));
    setObjectName(QStringLiteral("actionCard"));
    setStyleSheet(QStringLiteral("#actionCard { background: #1e1e22; border: 1px solid #4e4e54; }"
                                 "QLabel { color: #f2f2f2; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 8, 6);
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("cardMessage"));
    m_message->setTextFormat(Qt::PlainText); // an engine's failure may quote a service
    m_message->setWordWrap(true);
    layout->addWidget(m_message, 1);
    m_undo = new QPushButton;
    m_undo->setObjectName(QStringLiteral("cardUndo"));
    m_undo->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_undo);
    connect(m_undo, &QPushButton::clicked, this, [this] { m_flow.undo(); });
    connect(&m_flow, &QuickActionFlow::changed, this, &ActionCardWindow::render);
    render();
}

ActionCardWindow::~ActionCardWindow() = default;

void ActionCardWindow::render() {
    m_message->setText(m_flow.message());
    m_undo->setText(L10n::string(QStringLiteral("card.undo")));
    m_undo->setVisible(m_flow.canUndo());
}

void ActionCardWindow::setFrame(const QRectF& frame, bool) {
    m_frame = frame;
    setGeometry(frame.toAlignedRect());
}

void ActionCardWindow::showWithoutActivating() {
    show();
    raise();
    if (!m_nativeReady && windowHandle()) {
        m_nativeReady = true;
        Q_EMIT nativeWindowReady(this);
    }
}

} // namespace ovra
