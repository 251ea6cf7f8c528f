#include "dialogs/desktop_entry_name.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QStandardPaths>

namespace ovra {

namespace {

// Desktop-entry string escapes: \s \n \t \r \\.
QString unescape(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else
            out += next;
    }
    return out;
}

// Locale keys to try, most specific first: lang_COUNTRY@MOD, lang_COUNTRY, lang@MOD, lang.
QStringList localeCandidates(const QString& localeName) {
    QString name = localeName;
    if (const qsizetype dot = name.indexOf(u'.'); dot >= 0) { // drop an encoding
        const qsizetype at = name.indexOf(u'@', dot);
        name = name.left(dot) + (at >= 0 ? name.mid(at) : QString());
    }
    QString modifier;
    if (const qsizetype at = name.indexOf(u'@'); at >= 0) {
        modifier = name.mid(at);
        name.truncate(at);
    }
    const QString lang = name.section(u'_', 0, 0);
    const bool hasCountry = name.contains(u'_');
    QStringList candidates;
    if (hasCountry && !modifier.isEmpty())
        candidates << name + modifier;
    if (hasCountry)
        candidates << name;
    if (!modifier.isEmpty())
        candidates << lang + modifier;
    if (!lang.isEmpty())
        candidates << lang;
    return candidates;
}

} // namespace

std::optional<QString> DesktopEntryName::nameFromEntry(const QString& entryText,
                                                       const QString& localeName) {
    QMap<QString, QString> names; // "" for Name=, the locale for Name[locale]=
    bool inMainGroup = false;
    bool hidden = false;
    const QStringList lines = entryText.split(u'\n');
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = unescape(QStringView(line).mid(eq + 1).trimmed());
        if (key == u"Hidden")
            hidden = value == u"true";
        else if (key == u"Name")
            names.insert(QString(), value);
        else if (key.startsWith(u"Name[") && key.endsWith(u']'))
            names.insert(key.mid(5, key.size() - 6), value);
    }
    if (hidden)
        return std::nullopt;
    for (const QString& candidate : localeCandidates(localeName))
        if (const QString value = names.value(candidate); !value.isEmpty())
            return value;
    if (const QString value = names.value(QString()); !value.isEmpty())
        return value;
    return std::nullopt;
}

std::optional<QString> DesktopEntryName::find(const QString& appId, const QStringList& folders,
                                              const QString& localeName) {
    // An id holding a path separator could reach files outside the applications folders.
    if (appId.isEmpty() || appId.contains(u'/'))
        return std::nullopt;
    const QString fileName = appId + QStringLiteral(".desktop");
    for (const QString& folder : folders) {
        QFile file(QDir(folder).filePath(fileName));
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return nameFromEntry(QString::fromUtf8(file.read(1024 * 1024)), localeName);
    }
    return std::nullopt;
}

std::optional<QString> DesktopEntryName::find(const QString& appId) {
    return find(appId, QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation),
                QLocale().name());
}

} // namespace ovra
