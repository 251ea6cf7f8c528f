#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace ovra::platform {

// What naming and finding an application needs from one desktop entry's [Desktop Entry] group;
// other groups (the entry's actions) do not count. Values are unescaped (\s \n \t \r \\).
struct DesktopEntryFile {
    // Name for `localeName` ("sr_RS.UTF-8@latin"), most specific first:
    // Name[lang_COUNTRY@MODIFIER], Name[lang_COUNTRY], Name[lang@MODIFIER], Name[lang], Name.
    QString name;
    QString exec;
    QString tryExec;
    QString windowClass; // StartupWMClass
    QStringList categories;
    bool hidden = false;

    static DesktopEntryFile parse(QStringView text, const QString& localeName);
    // The entry at `path`, read up to a size no real entry reaches; nothing when unreadable.
    static std::optional<DesktopEntryFile> read(const QString& path, const QString& localeName);
};

} // namespace ovra::platform
