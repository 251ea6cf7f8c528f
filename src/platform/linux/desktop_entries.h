#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ovra::platform {

// An installed application's desktop entry, as far as naming an application needs it.
struct DesktopEntry {
    QString id;   // desktop-file id: the path under applications/ with "/" as "-", no ".desktop"
    QString name; // Name, localized to the user's language when the entry has it
    bool terminalEmulator = false; // Categories names TerminalEmulator

    bool operator==(const DesktopEntry&) const = default;
};

// Finds the desktop entry of a running program among the installed ones.
class DesktopEntries {
public:
    // `dataDirs`: the XDG data folders, most important first (each holds an applications/ folder).
    explicit DesktopEntries(QStringList dataDirs, QString languageTag = {});

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
    QString m_language;
    bool m_loaded = false;
    QList<Indexed> m_entries;
};

} // namespace ovra::platform
