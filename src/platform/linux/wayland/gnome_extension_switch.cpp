#include "platform/linux/wayland/gnome_extension_switch.h"

#include "platform/linux/wayland/gnome_shell_helper.h"
#include "support/logging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gio/gio.h>
#include <memory>
#include <vector>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

namespace {

constexpr const char* shellSchema = "org.gnome.shell";
constexpr const char* enabledKey = "enabled-extensions";

// Without the schema, g_settings_new would abort the program.
GSettings* shellSettings() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, shellSchema, TRUE) : nullptr;
    if (!schema)
        return nullptr;
    const bool hasKey = g_settings_schema_has_key(schema, enabledKey);
    GSettings* settings = hasKey ? g_settings_new_full(schema, nullptr, nullptr) : nullptr;
    g_settings_schema_unref(schema);
    return settings;
}

// Links the form of the extension GNOME Shell `shellVersion` loads into the user's extensions,
// where the shell looks before the system's folders.
void linkFormFor(const QString& shellVersion) {
    const QString form = gnomeShellExtensionForm(shellVersion);
    const QString formDir = form.isEmpty()
                                ? QString()
                                : QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                         QStringLiteral("ovra/gnome-shell/") + form,
                                                         QStandardPaths::LocateDirectory);
    if (formDir.isEmpty()) {
        qCInfo(lc) << "no installed form of the GNOME Shell extension fits GNOME Shell"
                   << shellVersion;
        return;
    }
    linkGnomeShellExtension(formDir,
                            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                QStringLiteral("/gnome-shell/extensions"));
}

// Asks the running shell for its version, links the form it loads, then asks it to load the
// extension. Nothing waits for the shell's answers.
void linkFormAndEnable(const QString& uuid) {
    const QString shell = QStringLiteral("org.gnome.Shell");
    const QString path = QStringLiteral("/org/gnome/Shell");
    QDBusMessage get = QDBusMessage::createMethodCall(
        shell, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({shell, QStringLiteral("ShellVersion")});
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get),
                                                QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [uuid, shell, path](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         const QDBusPendingReply<QDBusVariant> version = *call;
                         linkFormFor(version.isValid() ? version.value().variant().toString()
                                                       : QString());
                         QDBusMessage enable = QDBusMessage::createMethodCall(
                             shell, path, QStringLiteral("org.gnome.Shell.Extensions"),
                             QStringLiteral("EnableExtension"));
                         enable.setArguments({uuid});
                         QDBusConnection::sessionBus().call(enable, QDBus::NoBlock);
                     });
}

} // namespace

QString gnomeShellExtensionForm(const QString& shellVersion) {
    bool isNumber = false;
    const int major = shellVersion.section(u'.', 0, 0).toInt(&isNumber);
    if (!isNumber || major < 43)
        return {};
    return major < 45 ? QStringLiteral("43") : QStringLiteral("45");
}

bool linkGnomeShellExtension(const QString& formDir, const QString& userExtensions) {
    const QString uuid = QString::fromLatin1(GnomeShellHelper::extensionUuid);
    const QString target = QDir(formDir).absoluteFilePath(uuid);
    const QString link = QDir(userExtensions).filePath(uuid);
    const QFileInfo existing(link);
    if (existing.isSymLink() && existing.symLinkTarget() == target)
        return true;
    // Only a link to one of the program's own forms is replaced (after the shell was upgraded).
    const bool ours = existing.isSymLink() &&
                      existing.symLinkTarget().contains(QStringLiteral("/ovra/gnome-shell/"));
    if (ours ? !QFile::remove(link) : existing.isSymLink() || existing.exists()) {
        qCInfo(lc) << "left the GNOME Shell extension in" << userExtensions << "as it is";
        return false;
    }
    if (!QDir().mkpath(userExtensions) || !QFile::link(target, link)) {
        qCWarning(lc) << "could not link the GNOME Shell extension into" << userExtensions;
        return false;
    }
    return true;
}

bool enableGnomeShellExtension() {
    const std::unique_ptr<GSettings, decltype(&g_object_unref)> settings(shellSettings(),
                                                                         &g_object_unref);
    if (!settings) {
        qCInfo(lc) << "GNOME Shell's settings are not installed";
        return false;
    }
    const QString uuid = QString::fromLatin1(GnomeShellHelper::extensionUuid);
    gchar** current = g_settings_get_strv(settings.get(), enabledKey);
    std::vector<const gchar*> enabled;
    bool listed = false;
    for (gchar** entry = current; entry && *entry; ++entry) {
        listed = listed || uuid == QString::fromUtf8(*entry);
        enabled.push_back(*entry);
    }
    bool written = listed;
    if (!listed) {
        enabled.push_back(GnomeShellHelper::extensionUuid);
        enabled.push_back(nullptr);
        written = g_settings_set_strv(settings.get(), enabledKey, enabled.data());
    }
    g_strfreev(current);
    linkFormAndEnable(uuid);
    return written;
}

} // namespace ovra::platform
