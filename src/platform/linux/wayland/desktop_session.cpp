#include "platform/linux/wayland/desktop_session.h"

#include <QStringList>

namespace ovra::platform {

DesktopSession detectDesktopSession(const QProcessEnvironment& environment) {
    const QString type = environment.value(QStringLiteral("XDG_SESSION_TYPE")).trimmed().toLower();
    const bool wayland = type.isEmpty()
                             ? !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
                             : type == u"wayland";
    if (!wayland)
        return DesktopSession::X11;
    const QStringList desktops =
        environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts);
    for (const QString& desktop : desktops) {
        const QString name = desktop.trimmed().toLower();
        if (name == u"kde")
            return DesktopSession::WaylandKde;
        if (name == u"gnome")
            return DesktopSession::WaylandGnome;
    }
    return DesktopSession::WaylandOther;
}

} // namespace ovra::platform
