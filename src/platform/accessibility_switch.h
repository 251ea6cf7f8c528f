#pragma once

#include <QCoroTask>

namespace ovra {

// The system's switch that lets this process read other applications' elements. Unlike
// AccessibilityServices it asks no other application, so the UI thread may use it: reading it
// costs no round trip, and changing it is awaited.
class AccessibilitySwitch {
public:
    virtual ~AccessibilitySwitch() = default;

    // True when this process may read other applications' elements, as last read or announced;
    // false until the first readState() has answered.
    virtual bool isAccessEnabled() = 0;
    // Reads the switch from the system without blocking; isAccessEnabled() tells the answer after.
    virtual QCoro::Task<> readState() = 0;
    // Asks the system (and, where it has one, the user) to enable access for this process.
    virtual void requestAccess() = 0;
    // Turns access on where the system allows it without the user; true when it is on after.
    virtual QCoro::Task<bool> enableAccess() = 0;
};

} // namespace ovra
