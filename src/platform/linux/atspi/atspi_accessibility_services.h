#pragma once

#include <atspi/atspi.h>

#include "platform/accessibility_services.h"
#include "platform/linux/atspi/text_offsets.h"
#include "platform/window_area.h"

#include <QHash>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

namespace ovra::platform {

// Reads and writes other applications' elements over the AT-SPI bus with libatspi. Calls are
// synchronous D-Bus round trips. libatspi is started on the first call that needs it and is then
// confined to that thread (the program's accessibility thread). Focus and selection events, served
// by that thread's GLib main context, keep the last focused element and each application's last
// selection at hand.
class AtspiAccessibilityServices final : public AccessibilityServices {
public:
    // `windowOwnerAt` names the process whose window is topmost at a point of the screen (0 when
    // unknown); `windowArea` says where a process's window is on screen, for toolkits that place
    // text only within their window (GTK 4).
    using WindowAreaOf = std::function<std::optional<WindowArea>(qint32 pid)>;
    // Where applications' extents start: as each toolkit reports them (X11), or within their own
    // window for every toolkit (Wayland, where no client knows its place on screen and there is
    // no looking up an element by a point of the screen).
    enum class Extents { asToolkitsReport, windowRelative };
    // AT-SPI and the window system count device pixels, the program Qt's logical ones: the
    // conversions as the screens are at the moment of each call (none: the two are the same).
    struct PixelScaling {
        std::function<QPointF(QPointF logical)> toDevice;
        std::function<QRectF(const QRectF& device)> toLogical;
    };
    AtspiAccessibilityServices(std::function<qint32(QPointF)> windowOwnerAt,
                               WindowAreaOf windowArea, Extents extents = Extents::asToolkitsReport,
                               PixelScaling scaling = {});
    ~AtspiAccessibilityServices() override;
    AtspiAccessibilityServices(const AtspiAccessibilityServices&) = delete;
    AtspiAccessibilityServices& operator=(const AtspiAccessibilityServices&) = delete;

    AccessibleElement applicationElement(qint32 pid) override;
    AccessResult<AccessibleElement> systemFocusedElement() override;
    AccessResult<AccessibleElement> focusedElement(const AccessibleElement& application) override;
    AccessResult<AccessibleElement> elementAtPosition(QPointF point) override;
    qint32 processId(const AccessibleElement& element) override;
    SelectionEvent lastSelectionEvent(qint32 pid) override;
    bool takeTimedOut() override;
    // Calls `listener` on this thread with the process of each selection change reported by
    // another application, after it is remembered.
    void setSelectionListener(std::function<void(qint32 pid)> listener) {
        m_selectionListenerCallback = std::move(listener);
    }
    // Calls `listener` on this thread with the process whose window an application reports as
    // activated (this program's own included).
    void setActivationListener(std::function<void(qint32 pid)> listener) {
        m_activationListenerCallback = std::move(listener);
    }

    AccessResult<QString> selectedText(const AccessibleElement& element) override;
    AccessResult<TextRange> selectedTextRange(const AccessibleElement& element) override;
    AccessResult<QRectF> boundsForRange(const AccessibleElement& element, TextRange range) override;
    AccessResult<QString> stringForRange(const AccessibleElement& element,
                                         TextRange range) override;
    AccessResult<QString> value(const AccessibleElement& element) override;
    AccessResult<bool> isSettable(const AccessibleElement& element,
                                  SettableAttribute attribute) override;

    AccessResult<AccessibleElement> parent(const AccessibleElement& element) override;
    AccessResult<QList<AccessibleElement>> children(const AccessibleElement& element) override;
    AccessResult<ElementRole> role(const AccessibleElement& element) override;
    AccessResult<QRectF> frame(const AccessibleElement& element) override;
    AccessResult<QList<AccessibleElement>> windows(const AccessibleElement& application) override;

    AccessStatus setFullAccessibilityTree(const AccessibleElement& application, bool on) override;
    AccessStatus setSelectedTextRange(const AccessibleElement& element, TextRange range) override;
    AccessStatus replaceText(const AccessibleElement& element, TextRange range,
                             const QString& text) override;

    // Bounds of the search for the element at a point, and of the focus remembered.
    static constexpr qsizetype maxRememberedProcesses = 256;
    static constexpr int maxPointHops = 32;
    static constexpr int maxTextAncestorHops = 8;

private:
    // Starts libatspi and its listeners on this thread, once.
    void ensureStarted();
    static void onFocusEvent(AtspiEvent* event, void* self);
    static void onSelectionEvent(AtspiEvent* event, void* self);
    static void onActivationEvent(AtspiEvent* event, void* self);
    ToolkitCounting countingOf(AtspiAccessible* accessible);
    bool isWindowRelative(AtspiAccessible* accessible);
    // The selection (or the caret, as an empty range) in the toolkit's own units.
    std::optional<std::pair<int, int>> nativeSelection(AtspiAccessible* accessible,
                                                       AtspiText* text);
    // The selection a toolkit means by the one it reports, in its own unit.
    std::pair<int, int> meantSelection(AtspiAccessible* accessible, AtspiText* text,
                                       std::pair<int, int> reported);
    // The toolkit's offsets for a UTF-16 range of `text`.
    std::pair<int, int> nativeRange(AtspiAccessible* accessible, AtspiText* text, TextRange range);
    AccessResult<QRectF> deviceBoundsForRange(const AccessibleElement& element, TextRange range);
    AccessResult<QRectF> deviceFrame(const AccessibleElement& element);
    AccessResult<QRectF> inLogicalPixels(AccessResult<QRectF> device);
    AccessResult<QRectF> windowRelativeBounds(AtspiAccessible* accessible, AtspiText* text,
                                              int start, int end);
    // The element of application `app` that last took the focus, when nothing reports it now.
    AccessResult<AccessibleElement> rememberedFocus(AtspiAccessible* app);
    // Where, on screen, the coordinates of the window `accessible` is in begin, for toolkits that
    // place things only within their window.
    std::optional<QPointF> windowOrigin(AtspiAccessible* accessible);

    std::function<qint32(QPointF)> m_windowOwnerAt;
    WindowAreaOf m_windowArea;
    Extents m_extents;
    PixelScaling m_scaling;
    std::function<void(qint32 pid)> m_selectionListenerCallback;
    std::function<void(qint32 pid)> m_activationListenerCallback;
    AtspiEventListener* m_focusListener = nullptr;
    AtspiEventListener* m_selectionListener = nullptr;
    AtspiEventListener* m_activationListener = nullptr;
    AccessibleElement m_lastFocused;
    // Each application's element that last took the focus: GTK 4 drops the focused state when its
    // window goes to the back and announces nothing when it comes to the front again.
    QHash<qint32, AccessibleElement> m_lastFocusedByProcess;
    QHash<qint32, SelectionEvent> m_lastSelectionChanged; // by process
    quint64 m_selectionSerial = 0;
    QHash<QString, ToolkitCounting> m_countingByBusName;
};

} // namespace ovra::platform
