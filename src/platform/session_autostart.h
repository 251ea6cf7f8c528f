#pragma once

namespace ovra {

// Whether the desktop session starts Ovra when the user logs in. The desktop's own record is the
// only one: a change made there by hand shows at the next isEnabled().
class SessionAutostart {
public:
    virtual ~SessionAutostart() = default;

    // The session starts Ovra: the record exists and is not switched off.
    virtual bool isEnabled() const = 0;
    // Writes or removes the record; false when the desktop refused.
    virtual bool setEnabled(bool enabled) = 0;
};

} // namespace ovra
