#pragma once

#include <QObject>

namespace ovra {

// Application-wide notifications between parts that do not know each other.
class AppNotifications final : public QObject {
    Q_OBJECT
public:
    // The one instance, living on the main thread for the whole process.
    static AppNotifications& shared();

    // OvraHotKeySettingsChanged: posted after the stored shortcut was changed or reset.
    void postHotKeySettingsChanged() { Q_EMIT hotKeySettingsChanged(); }

Q_SIGNALS:
    // The shell registers the shortcut again with the new settings.
    void hotKeySettingsChanged();

private:
    AppNotifications() = default;
};

} // namespace ovra
