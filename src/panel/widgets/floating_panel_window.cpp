#include "panel/widgets/floating_panel_window.h"

#include "panel/widgets/panel_view.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace ovra {

FloatingPanelWindow::FloatingPanelWindow(PanelViewModel& model, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    setWindowTitle(QStringLiteral("Ovra"));

    auto* layout = new QVBoxLayout(this);
    m_borders = QMargins(shadowMargin, shadowMargin, shadowMargin, shadowMargin);
    layout->setContentsMargins(m_borders);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    m_view = new PanelView(model, this);
    layout->addWidget(m_view);
    m_frame = QRectF(0, 0, PanelView::panelWidth, 120);
}

FloatingPanelWindow::~FloatingPanelWindow() = default;

QMargins FloatingPanelWindow::shadowBorders(const QRect& card) const {
    const int border = margin();
    const QScreen* screen = QGuiApplication::screenAt(card.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen || border == 0)
        return {border, border, border, border};
    const QRect area = screen->geometry();
    const auto room = [border](int distance) { return std::clamp(distance, 0, border); };
    return {room(card.left() - area.left()), room(card.top() - area.top()),
            room(area.right() - card.right()), room(area.bottom() - card.bottom())};
}

void FloatingPanelWindow::setCompositing(bool on) {
    if (on == m_compositing)
        return;
    m_compositing = on;
    if (m_animation)
        m_animation->stop();
    setGeometry(takeBorders(m_frame));
    update();
}

QRect FloatingPanelWindow::takeBorders(const QRectF& frame) {
    const QRect card = frame.toAlignedRect();
    m_borders = shadowBorders(card);
    if (QLayout* outer = layout())
        outer->setContentsMargins(m_borders);
    return card.marginsAdded(m_borders);
}

void FloatingPanelWindow::setFrame(const QRectF& frame, bool animated) {
    m_frame = frame;
    if (m_animation)
        m_animation->stop();
    const QRect target = takeBorders(frame);
    if (!animated || !QWidget::isVisible()) {
        setGeometry(target);
        return;
    }
    auto* animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(animationMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(geometry());
    animation->setEndValue(target);
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void FloatingPanelWindow::showWithoutActivating() {
    show();
    raise();
    if (!m_nativeReady && windowHandle()) {
        m_nativeReady = true;
        Q_EMIT nativeWindowReady(this);
    }
}

void FloatingPanelWindow::hideWindow() {
    if (m_animation)
        m_animation->stop();
    hide();
    // Taking the focus was for one question; the next selection starts without it again.
    if (QWindow* handle = windowHandle())
        handle->setFlag(Qt::WindowDoesNotAcceptFocus, true);
}

void FloatingPanelWindow::layoutContent() {
    if (QLayout* outer = layout())
        outer->activate();
}

std::optional<double> FloatingPanelWindow::fittingHeight() const {
    if (!m_view)
        return std::nullopt;
    return double(m_view->fittingHeight());
}

void FloatingPanelWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_compositing) {
        // Every pixel opaque: square corners, no shadow, the card's colour and edge.
        painter.fillRect(rect(), QColor(30, 30, 34));
        painter.setPen(QPen(QColor(78, 78, 84), 1));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).marginsRemoved(m_borders.toMarginsF());

    // A soft shadow: rings of falling opacity, a little lower than the card.
    painter.setPen(Qt::NoPen);
    for (int step = shadowMargin; step > 0; --step) {
        const double spread = step;
        const int alpha =
            int(34.0 * (1.0 - spread / (shadowMargin + 1)) * (1.0 - spread / (shadowMargin + 1)));
        painter.setBrush(QColor(0, 0, 0, alpha));
        painter.drawRoundedRect(card.adjusted(-spread, -spread + 3, spread, spread + 3),
                                cornerRadius + spread, cornerRadius + spread);
    }

    QPainterPath path;
    path.addRoundedRect(card, cornerRadius, cornerRadius);
    painter.fillPath(path, QColor(30, 30, 34, 236));
    painter.setPen(QPen(QColor(255, 255, 255, 30), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

} // namespace ovra
