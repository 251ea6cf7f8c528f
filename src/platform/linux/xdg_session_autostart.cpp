#include "platform/linux/xdg_session_autostart.h"

#include "ovra/deployment_config.h"
#include "support/atomic_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace ovra::platform {

namespace {

// Quotes an Exec argument as the desktop entry specification asks.
QString execArgument(const QString& program) {
    QString escaped = program;
    for (const QString& special :
         {QStringLiteral("\\"), QStringLiteral("\""), QStringLiteral("`"), QStringLiteral("$")})
        escaped.replace(special, u'\\' + special);
    // A literal percent sign is written twice, in or out of quotes.
    escaped.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return u'"' + escaped + u'"';
}

} // namespace

XdgSessionAutostart::XdgSessionAutostart(QString program) : m_program(std::move(program)) {
    if (m_program.isEmpty() && QCoreApplication::instance())
        m_program = QCoreApplication::applicationFilePath();
    if (m_program.isEmpty())
        m_program = QStringLiteral("ovra");
}

QString XdgSessionAutostart::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QLatin1String(deployment::appId) +
           QStringLiteral(".desktop");
}

bool XdgSessionAutostart::isEnabled() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Desktops switch an entry off by editing it rather than removing it.
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

bool XdgSessionAutostart::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    const QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Ovra\n"
                       "Comment=Translate the text you select, in any application\n"
                       "Exec=") +
        execArgument(m_program) +
        QStringLiteral("\n"
                       "Icon=ovra\n"
                       "Terminal=false\n"
                       "NoDisplay=true\n"
                       "X-GNOME-Autostart-enabled=true\n");
    return writeFileAtomically(path, entry.toUtf8(), 0644, 0755);
}

} // namespace ovra::platform
