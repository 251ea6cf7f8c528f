#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ovra {

// One installed Apertium translation direction, from its mode file ("eng-spa.mode",
// "es-pt_BR.mode"). Languages are canonical (see ApertiumLanguages).
struct ApertiumMode {
    QString name; // what the `apertium` command takes: "eng-spa", "es-pt_BR"
    QString source;
    QString target;
    QString variant; // "BR", "US", or empty
};

// Finding a way from one language to another over installed modes and packaged pairs: directly,
// or through one pivot language (English → Spanish → Portuguese).
namespace ApertiumRoutes {

// The translation modes under `dataDir`/modes, sorted by name; helper modes (taggers, debug
// stages) are left out. Empty when the folder does not exist.
std::vector<ApertiumMode> installedModes(const QString& dataDir);
std::optional<ApertiumMode> parseModeName(const QString& name);

// The modes to run in order (one or two) to translate `source` into `target`; none when the
// installed modes do not reach. The last step prefers the `variant` the target asks for.
std::optional<QStringList> installedRoute(const std::vector<ApertiumMode>& modes,
                                          const QString& source, const QString& target,
                                          const QString& variant = {});

// The Debian packages to install so that `source` → `target` works: the fewest over the direct
// and the one-pivot routes that combine installed modes with packaged pairs. Empty when the
// installed modes already reach; none when no packaged pair can help.
std::optional<QStringList> packagesNeeded(const std::vector<ApertiumMode>& modes,
                                          const QString& source, const QString& target);

} // namespace ApertiumRoutes

} // namespace ovra
