#pragma once

#include <optional>

namespace ovra::platform {

// The desktop's accessibility switch (org.a11y.Status.IsEnabled on the session bus): while it is
// on, toolkits publish their applications on the accessibility bus.
namespace AccessibilityStatus {
// The switch's state; nothing when the accessibility bus service is not there.
std::optional<bool> isEnabled();
// Turns the switch on or off; false when the service refused or is not there.
bool setEnabled(bool on);
} // namespace AccessibilityStatus

} // namespace ovra::platform
