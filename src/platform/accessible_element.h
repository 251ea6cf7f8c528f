#pragma once

#include <memory>

namespace ovra {

// The platform's own object behind an element of another application's interface (on Linux an
// AT-SPI accessible). Platform implementations derive from it; the logic never looks inside.
class ElementHandle {
public:
    virtual ~ElementHandle() = default;
    // True when both handles denote the same element of the same application.
    virtual bool sameElement(const ElementHandle& other) const = 0;
};

// A shared reference to one element of another application's interface. Copies share the
// platform object and keep it alive; two references are equal when they denote the same element,
// even when they were obtained separately. A default-constructed reference is null.
class AccessibleElement {
public:
    AccessibleElement() = default;
    explicit AccessibleElement(std::shared_ptr<const ElementHandle> handle)
        : m_handle(std::move(handle)) {}

    bool isNull() const { return !m_handle; }
    explicit operator bool() const { return !isNull(); }
    const ElementHandle* handle() const { return m_handle.get(); }

    // The platform's object as its own type, or nullptr when it is another type or null.
    template <typename T> const T* as() const { return dynamic_cast<const T*>(m_handle.get()); }

    friend bool operator==(const AccessibleElement& a, const AccessibleElement& b) {
        if (a.m_handle == b.m_handle)
            return true;
        if (!a.m_handle || !b.m_handle)
            return false;
        return a.m_handle->sameElement(*b.m_handle);
    }

private:
    std::shared_ptr<const ElementHandle> m_handle;
};

} // namespace ovra
