#pragma once

#include "platform/accessibility_switch.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <optional>

namespace ovra::platform {

// The desktop's accessibility switch (org.a11y.Status.IsEnabled on the session bus): while it is
// on, toolkits publish their applications on the accessibility bus.
namespace AccessibilityStatus {
// The switch's state, within a second; nothing when the accessibility bus service is not there or
// did not answer.
QCoro::Task<std::optional<bool>> isEnabled();
// The same, waiting for the answer: for a thread that may wait, never the UI thread.
std::optional<bool> isEnabledWaiting();
// Turns the switch on or off, within a second; false when the service refused, is not there or
// did not answer.
QCoro::Task<bool> setEnabled(bool on);
// The same, waiting for the answer: for a thread that may wait, never the UI thread.
bool setEnabledWaiting(bool on);
} // namespace AccessibilityStatus

// The switch for this program: its state as last read (readState) or announced, followed through
// the service's change signals, so asking costs no round trip and never waits on the service. Make
// it on a thread with an event loop; `isAccessEnabled` may be asked from any thread.
class AtspiAccessibilitySwitch final : public QObject, public AccessibilitySwitch {
    Q_OBJECT
public:
    AtspiAccessibilitySwitch();

    bool isAccessEnabled() override { return m_on.load(); }
    void requestAccess() override;
    QCoro::Task<bool> enableAccess() override;
    QCoro::Task<> readState() override;

private Q_SLOTS:
    void onPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    std::atomic<bool> m_on{false};
};

} // namespace ovra::platform
