#pragma once

#include <atspi/atspi.h>

#include "platform/accessible_element.h"

namespace ovra::platform {

// Owns one reference to an AT-SPI accessible. libatspi keeps one proxy per remote object, so
// equal pointers are the same element; the bus name and path settle the rest.
class AtspiElementHandle final : public ElementHandle {
public:
    // Takes over the reference the caller holds (`adopt`) or adds one of its own.
    enum class Ownership { Adopt, Retain };
    AtspiElementHandle(AtspiAccessible* accessible, Ownership ownership);
    ~AtspiElementHandle() override;
    AtspiElementHandle(const AtspiElementHandle&) = delete;
    AtspiElementHandle& operator=(const AtspiElementHandle&) = delete;

    AtspiAccessible* accessible() const { return m_accessible; }
    bool sameElement(const ElementHandle& other) const override;

    // The element for `accessible`, adopting the reference; null for nullptr.
    static AccessibleElement adopt(AtspiAccessible* accessible);
    // The main context of the thread libatspi is confined to (null: the calling thread's own).
    // A handle released on another thread hands its reference back to that thread.
    static void setHomeContext(GMainContext* context);

    // The accessible behind `element`; nullptr for null or foreign elements.
    static AtspiAccessible* of(const AccessibleElement& element);

private:
    AtspiAccessible* m_accessible;
};

} // namespace ovra::platform
