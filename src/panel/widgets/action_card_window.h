#pragma once

#include "platform/panel_window.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace ovra {

class QuickActionFlow;

// The small card a replacing action shows beside the selection: its state in one line and, once
// the text is replaced, "Desfazer". Frameless, above other windows, and never focused: the
// application the user works in keeps the keyboard, and a click on the button reaches it all the
// same.
class ActionCardWindow final : public QWidget, public PanelWindow {
    Q_OBJECT
public:
    explicit ActionCardWindow(QuickActionFlow& flow, QWidget* parent = nullptr);
    ~ActionCardWindow() override;

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF& frame, bool animated) override;
    void showWithoutActivating() override;
    void hideWindow() override { hide(); }
    bool isVisible() const override { return QWidget::isVisible(); }
    void layoutContent() override {}
    std::optional<double> fittingHeight() const override { return std::nullopt; }

Q_SIGNALS:
    // The native window exists now: the platform may mark the native window as one that is never
    // activated.
    void nativeWindowReady(QWidget* window);

private:
    void render();

    QuickActionFlow& m_flow;
    QLabel* m_message = nullptr;
    QPushButton* m_undo = nullptr;
    QRectF m_frame;
    bool m_nativeReady = false;
};

} // namespace ovra
