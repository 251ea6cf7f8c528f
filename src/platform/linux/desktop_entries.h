#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ovra::platform {

// An installed application's desktop entry, as far as naming an application needs it.
struct DesktopEntry {
    QString id;   // desktop-file id: the path under applications/ with "/" as "-", no ".desktop"
    QString name; // Name, localized to the user's locale when the entry has it
    bool terminalEmulator = false; // Categories names TerminalEmulator

    bool operator==(const DesktopEntry&) const = default;
};

// Finds the desktop entry of a running program among the installed ones.
class DesktopEntries {
public:
    // `dataDirs`: the XDG data folders, most important first (each holds an applications/ folder).
    // `localeName` ("pt_BR") chooses the name; the system's locale by default.
    explicit DesktopEntries(QStringList dataDirs, QString localeName = {});

    // The folders of this user's session: XDG_DATA_HOME, then XDG_DATA_DIRS.
    static QStringList sessionDataDirs();

    // The entry whose program is `executable` (a path or a file name) or whose window class is
    // `windowClass`; nothing when none matches. Hidden entries are skipped.
    std::optional<DesktopEntry> find(const QString& executable, const QString& windowClass);

private:
    struct Indexed {
        DesktopEntry entry;
        QString program;     // file name of Exec's (or TryExec's) program
        QString windowClass; // StartupWMClass
    };
    void load();

    QStringList m_dataDirs;
    QString m_locale;
    bool m_loaded = false;
    QList<Indexed> m_entries;
};

// The display name of the installed application `appId` from its entry "<appId>.desktop" in
// `applicationFolders` (first match wins), for `localeName`. Nothing when no entry exists, it is
// hidden, or it has no name.
std::optional<QString> applicationName(const QString& appId, const QStringList& applicationFolders,
                                       const QString& localeName);
// As above, in the XDG applications folders with the program's locale.
std::optional<QString> applicationName(const QString& appId);

} // namespace ovra::platform
