#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>

namespace ovra::test {

// A dbus-daemon of the test's own that activates no service, so the machine's (a portal,
// PackageKit) stays out.
class PrivateBus {
public:
    PrivateBus() {
        if (m_config.open())
            m_config.write(R"(<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
                <policy context="default"><allow send_destination="*" eavesdrop="true"/>
                <allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)");
        m_config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + m_config.fileName(),
                        QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        // Its first line is the address to connect to.
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    // Not connected when the daemon did not start: the test stops at its first check.
    QDBusConnection connect(const QString& name) {
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryFile m_config;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace ovra::test
