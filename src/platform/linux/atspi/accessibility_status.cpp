#include "platform/linux/atspi/accessibility_status.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPointer>
#include <QVariant>
#include <qcoro/qcorodbuspendingcall.h>

namespace ovra::platform {

namespace {

const QString service = QStringLiteral("org.a11y.Bus");
const QString path = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString enabledProperty = QStringLiteral("IsEnabled");
constexpr int callTimeoutMs = 1000;

QDBusMessage setCall(bool on) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, propertiesInterface, QStringLiteral("Set"));
    call << statusInterface << enabledProperty << QVariant::fromValue(QDBusVariant(on));
    return call;
}

QDBusMessage getCall() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, propertiesInterface, QStringLiteral("Get"));
    call << statusInterface << enabledProperty;
    return call;
}

std::optional<bool> stateIn(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (value.typeId() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

} // namespace

namespace AccessibilityStatus {

std::optional<bool> isEnabledWaiting() {
    return stateIn(QDBusConnection::sessionBus().call(getCall(), QDBus::Block, callTimeoutMs));
}

QCoro::Task<std::optional<bool>> isEnabled() {
    co_return stateIn(co_await QDBusConnection::sessionBus().asyncCall(getCall(), callTimeoutMs));
}

QCoro::Task<bool> setEnabled(bool on) {
    const QDBusMessage reply =
        co_await QDBusConnection::sessionBus().asyncCall(setCall(on), callTimeoutMs);
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

bool setEnabledWaiting(bool on) {
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(setCall(on), QDBus::Block, callTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace AccessibilityStatus

AtspiAccessibilitySwitch::AtspiAccessibilitySwitch() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Announcements from the service's owner only.
    bus.connect(service, path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
}

QCoro::Task<> AtspiAccessibilitySwitch::readState() {
    const QPointer<AtspiAccessibilitySwitch> self(this);
    // A change the service announces while this read is on its way is answered first: the reply
    // that follows it holds the newer state too.
    const std::optional<bool> on = co_await AccessibilityStatus::isEnabled();
    if (self)
        m_on.store(on.value_or(false));
}

void AtspiAccessibilitySwitch::onPropertiesChanged(const QString& interfaceName,
                                                   const QVariantMap& changed,
                                                   const QStringList& invalidated) {
    if (interfaceName != statusInterface)
        return;
    const QVariant value = changed.value(enabledProperty);
    if (value.typeId() == QMetaType::Bool)
        m_on.store(value.toBool());
    else if (invalidated.contains(enabledProperty))
        readState();
}

QCoro::Task<bool> AtspiAccessibilitySwitch::enableAccess() {
    const QPointer<AtspiAccessibilitySwitch> self(this);
    const bool enabled = co_await AccessibilityStatus::setEnabled(true);
    // What this program has just set, ahead of the service's announcement.
    if (enabled && self)
        m_on.store(true);
    co_return enabled;
}

void AtspiAccessibilitySwitch::requestAccess() {
    // Turning the switch on is all the desktop needs; the announcement tells when it is. The
    // desktop's settings, where the user can do it by hand, are opened by whoever asked, once.
    AccessibilityStatus::setEnabled(true);
}

} // namespace ovra::platform
