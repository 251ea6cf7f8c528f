#pragma once

#include "platform/panel_window.h"

#include <QMargins>
#include <QPointer>
#include <QWidget>
#include <functional>

class QPropertyAnimation;

namespace ovra {

class PanelView;
class PanelViewModel;

// The floating panel's window: frameless, above other windows, shown without taking the focus
// from the application the user works in, on a dark translucent rounded background with a soft
// shadow. It takes the keyboard focus only when the user clicks into the chat field, and stays
// up when Ovra loses activation.
//
// Frames given to it are the card's; the window itself is larger by the shadow's margin.
// Without a compositing manager translucent pixels would show black: the window then draws an
// opaque square card with no shadow and no margin. Window managers keep a managed window on
// screen, so near a screen edge the shadow is cut there rather than have the card pushed inwards.
class FloatingPanelWindow final : public QWidget, public PanelWindow {
    Q_OBJECT
public:
    static constexpr int shadowMargin = 14;
    static constexpr int cornerRadius = 14;
    static constexpr int animationMilliseconds = 140;

    explicit FloatingPanelWindow(PanelViewModel& model, QWidget* parent = nullptr);
    ~FloatingPanelWindow() override;

    PanelView* view() const { return m_view; }

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF& frame, bool animated) override;
    void showWithoutActivating() override;
    void hideWindow() override;
    bool isVisible() const override { return QWidget::isVisible(); }
    void layoutContent() override;
    std::optional<double> fittingHeight() const override;

    // Whether a compositing manager shows translucency; the look follows it at once.
    void setCompositing(bool on);
    bool compositing() const { return m_compositing; }
    // The transparent border kept for the shadow: shadowMargin with a compositor, else 0.
    int margin() const { return m_compositing ? shadowMargin : 0; }
    // That border around `card`, each side cut at its screen's edge.
    QMargins shadowBorders(const QRect& card) const;

protected:
    void paintEvent(QPaintEvent* event) override;

Q_SIGNALS:
    // The native window exists now: the platform may pin the native window to every workspace.
    void nativeWindowReady(QWidget* window);

private:
    // Keeps the shadow's borders for `frame` and gives the window's geometry around it.
    QRect takeBorders(const QRectF& frame);

    PanelView* m_view = nullptr;
    QRectF m_frame;
    QMargins m_borders;
    QPointer<QPropertyAnimation> m_animation;
    bool m_nativeReady = false;
    bool m_compositing = true;
};

} // namespace ovra
