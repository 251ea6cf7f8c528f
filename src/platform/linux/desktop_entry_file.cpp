#include "platform/linux/desktop_entry_file.h"

#include <QFile>
#include <QMap>

namespace ovra::platform {

namespace {

// A desktop entry is a few kilobytes; a larger file is not one, and is not read whole.
constexpr qint64 maximumEntrySize = 1024 * 1024;

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

DesktopEntryFile DesktopEntryFile::parse(QStringView text, const QString& localeName) {
    DesktopEntryFile entry;
    QMap<QString, QString> names; // "" for Name=, the locale for Name[locale]=
    bool inMainGroup = false;
    for (const QStringView rawLine : text.tokenize(u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QStringView key = line.left(eq).trimmed();
        const QString value = unescape(line.mid(eq + 1).trimmed());
        if (key == u"Name")
            names.insert(QString(), value);
        else if (key.startsWith(u"Name[") && key.endsWith(u']'))
            names.insert(key.mid(5, key.size() - 6).toString(), value);
        else if (key == u"Exec")
            entry.exec = value;
        else if (key == u"TryExec")
            entry.tryExec = value;
        else if (key == u"StartupWMClass")
            entry.windowClass = value;
        else if (key == u"Categories")
            entry.categories = value.split(u';', Qt::SkipEmptyParts);
        else if (key == u"Hidden")
            entry.hidden = value == u"true";
    }
    for (const QString& candidate : localeCandidates(localeName)) {
        if (const QString value = names.value(candidate); !value.isEmpty()) {
            entry.name = value;
            return entry;
        }
    }
    entry.name = names.value(QString());
    return entry;
}

std::optional<DesktopEntryFile> DesktopEntryFile::read(const QString& path,
                                                       const QString& localeName) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(QString::fromUtf8(file.read(maximumEntrySize)), localeName);
}

} // namespace ovra::platform
