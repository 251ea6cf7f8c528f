#include "platform/linux/desktop_entries.h"

#include "platform/linux/desktop_entry_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStandardPaths>

namespace ovra::platform {

namespace {

// The first word of an Exec line, honouring double quotes, without "env VAR=x" prefixes.
QString programOf(const QString& exec) {
    QStringList words;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i + 1 < exec.size()) {
            current += exec.at(++i);
        } else if (c.isSpace() && !quoted) {
            if (!current.isEmpty())
                words.append(std::exchange(current, QString()));
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        words.append(current);
    qsizetype first = 0;
    if (!words.isEmpty() && QFileInfo(words.first()).fileName() == u"env") {
        first = 1;
        while (first < words.size() && words.at(first).contains(u'='))
            ++first;
    }
    return first < words.size() ? QFileInfo(words.at(first)).fileName() : QString();
}

// Programs that run another program named by their arguments: matching on them would give every
// script the same application.
bool isLauncher(const QString& program) {
    static const QStringList launchers{
        QStringLiteral("sh"),      QStringLiteral("bash"),     QStringLiteral("python"),
        QStringLiteral("python3"), QStringLiteral("perl"),     QStringLiteral("java"),
        QStringLiteral("flatpak"), QStringLiteral("snap"),     QStringLiteral("gjs"),
        QStringLiteral("node"),    QStringLiteral("electron"), QStringLiteral("wine")};
    return launchers.contains(program) || program.startsWith(u"python3.");
}

} // namespace

DesktopEntries::DesktopEntries(QStringList dataDirs, QString localeName)
    : m_dataDirs(std::move(dataDirs)),
      m_locale(localeName.isEmpty() ? QLocale::system().name() : std::move(localeName)) {}

QStringList DesktopEntries::sessionDataDirs() {
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

void DesktopEntries::load() {
    m_loaded = true;
    QSet<QString> seenIds; // an entry in a more important folder hides same-id entries after it
    for (const QString& dataDir : std::as_const(m_dataDirs)) {
        const QString applications = QDir(dataDir).filePath(QStringLiteral("applications"));
        QDirIterator files(applications, {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QString id = QDir(applications).relativeFilePath(path);
            id.chop(8); // ".desktop"
            id.replace(u'/', u'-');
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);

            const std::optional<DesktopEntryFile> file = DesktopEntryFile::read(path, m_locale);
            if (!file || file->hidden)
                continue;
            Indexed indexed;
            indexed.entry.id = id;
            indexed.entry.name = file->name;
            indexed.entry.terminalEmulator =
                file->categories.contains(QStringLiteral("TerminalEmulator"));
            indexed.program = programOf(file->exec.isEmpty() ? file->tryExec : file->exec);
            indexed.windowClass = file->windowClass;
            m_entries.append(indexed);
        }
    }
}

std::optional<DesktopEntry> DesktopEntries::find(const QString& executable,
                                                 const QString& windowClass) {
    if (!m_loaded)
        load();
    const QString program = QFileInfo(executable).fileName();
    // A declared window class is the strongest tie, then the program, then an id equal to it.
    if (!windowClass.isEmpty()) {
        for (const Indexed& indexed : std::as_const(m_entries)) {
            if (indexed.windowClass.compare(windowClass, Qt::CaseInsensitive) == 0) {
                return indexed.entry;
            }
        }
    }
    if (program.isEmpty() || isLauncher(program))
        return std::nullopt;
    for (const Indexed& indexed : std::as_const(m_entries)) {
        if (indexed.program == program)
            return indexed.entry;
    }
    for (const Indexed& indexed : std::as_const(m_entries)) {
        if (indexed.entry.id == program)
            return indexed.entry;
    }
    return std::nullopt;
}

std::optional<QString> applicationName(const QString& appId, const QStringList& applicationFolders,
                                       const QString& localeName) {
    // An id holding a path separator could reach files outside the applications folders.
    if (appId.isEmpty() || appId.contains(u'/'))
        return std::nullopt;
    const QString fileName = appId + QStringLiteral(".desktop");
    for (const QString& folder : applicationFolders) {
        const QString path = QDir(folder).filePath(fileName);
        if (!QFileInfo::exists(path))
            continue;
        const std::optional<DesktopEntryFile> entry = DesktopEntryFile::read(path, localeName);
        if (!entry || entry->hidden || entry->name.isEmpty())
            return std::nullopt;
        return entry->name;
    }
    return std::nullopt;
}

std::optional<QString> applicationName(const QString& appId) {
    return applicationName(appId,
                           QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation),
                           QLocale().name());
}

} // namespace ovra::platform
