#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ovra {

// The display name of an installed application, from its desktop entry "<appId>.desktop".
namespace DesktopEntryName {
// Looks in the XDG applications folders, with the current locale.
std::optional<QString> find(const QString& appId);
// Looks in `folders` (first match wins), choosing the Name= that best fits `localeName`
// ("pt_BR": Name[pt_BR], then Name[pt], then Name). Nothing when no entry exists, it is hidden,
// or it has no name.
std::optional<QString> find(const QString& appId, const QStringList& folders,
                            const QString& localeName);
// The Name= of one desktop entry's text, as above.
std::optional<QString> nameFromEntry(const QString& entryText, const QString& localeName);
} // namespace DesktopEntryName

} // namespace ovra
