#pragma once

#include <QRectF>
#include <optional>

namespace ovra {

// The floating panel's window as the controller drives it. Frames are the card's own rectangle in
// logical screen coordinates; the implementation adds whatever it draws around it.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;

    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF& frame, bool animated) = 0;
    // Brings the window to the front without taking the focus from the application in front.
    virtual void showWithoutActivating() = 0;
    virtual void hideWindow() = 0;
    virtual bool isVisible() const = 0;

    // Brings the content's layout up to date before it is measured.
    virtual void layoutContent() = 0;
    // The height the content wants at the panel's width; nothing when there is no content view.
    virtual std::optional<double> fittingHeight() const = 0;
};

} // namespace ovra
