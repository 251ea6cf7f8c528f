#include "platform/linux/wayland/gnome_extension_switch.h"

#include "platform/linux/wayland/gnome_shell_helper.h"
#include "support/log_categories.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <gio/gio.h>
#include <memory>
#include <vector>

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

} // namespace

bool enableGnomeShellExtension() {
    const std::unique_ptr<GSettings, decltype(&g_object_unref)> settings(shellSettings(),
                                                                         &g_object_unref);
    if (!settings) {
        qCInfo(lcPlatform) << "GNOME Shell's settings are not installed";
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
    // The running shell loads it at once when it knows it; no answer is awaited.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("EnableExtension"));
    call.setArguments({uuid});
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
    return written;
}

} // namespace ovra::platform
