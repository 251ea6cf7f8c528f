#include "ondevice/apertium/apertium_routes.h"

#include "ondevice/apertium/apertium_languages.h"

#include <QDir>
#include <QRegularExpression>
#include <set>

namespace ovra::ApertiumRoutes {

namespace {

const ApertiumMode* findHop(const std::vector<ApertiumMode>& modes, const QString& source,
                            const QString& target, const QString& variant) {
    const ApertiumMode* plain = nullptr;
    const ApertiumMode* any = nullptr;
    for (const ApertiumMode& mode : modes) {
        if (mode.source != source || mode.target != target)
            continue;
        if (!variant.isEmpty() && mode.variant.compare(variant, Qt::CaseInsensitive) == 0)
            return &mode;
        if (mode.variant.isEmpty() && !plain)
            plain = &mode;
        if (!any)
            any = &mode;
    }
    return plain ? plain : any;
}

// The package serving one step, when it is not installed: nullopt when nothing serves it, an
// empty string when an installed mode does.
std::optional<QString> hopPackage(const std::vector<ApertiumMode>& modes, const QString& source,
                                  const QString& target) {
    if (findHop(modes, source, target, {}))
        return QString();
    for (const auto& pair : ApertiumLanguages::debianPairs()) {
        if (pair.first == source && pair.second == target)
            return pair.package;
        if (pair.bothWays && pair.first == target && pair.second == source)
            return pair.package;
    }
    return std::nullopt;
}

std::set<QString> knownLanguages(const std::vector<ApertiumMode>& modes) {
    std::set<QString> languages;
    for (const ApertiumMode& mode : modes) {
        languages.insert(mode.source);
        languages.insert(mode.target);
    }
    for (const auto& pair : ApertiumLanguages::debianPairs()) {
        languages.insert(pair.first);
        languages.insert(pair.second);
    }
    return languages;
}

} // namespace

std::optional<ApertiumMode> parseModeName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^([a-z]{2,3})-([a-z]{2,3})(?:_([A-Za-z]+))?$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    return ApertiumMode{name, ApertiumLanguages::canonical(match.captured(1)),
                        ApertiumLanguages::canonical(match.captured(2)), match.captured(3)};
}

std::vector<ApertiumMode> installedModes(const QString& dataDir) {
    std::vector<ApertiumMode> modes;
    const QDir folder(dataDir + QStringLiteral("/modes"));
    const QStringList files =
        folder.entryList({QStringLiteral("*.mode")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        if (auto mode = parseModeName(file.chopped(5)))
            modes.push_back(std::move(*mode));
    }
    return modes;
}

std::optional<QStringList> installedRoute(const std::vector<ApertiumMode>& modes,
                                          const QString& source, const QString& target,
                                          const QString& variant) {
    if (source == target)
        return std::nullopt;
    if (const ApertiumMode* direct = findHop(modes, source, target, variant))
        return QStringList{direct->name};
    for (const ApertiumMode& first : modes) {
        if (first.source != source || first.target == target || !first.variant.isEmpty())
            continue;
        if (const ApertiumMode* second = findHop(modes, first.target, target, variant))
            return QStringList{first.name, second->name};
    }
    return std::nullopt;
}

std::optional<QStringList> packagesNeeded(const std::vector<ApertiumMode>& modes,
                                          const QString& source, const QString& target) {
    if (source == target)
        return QStringList();
    std::optional<QStringList> best;
    auto consider = [&best](QStringList packages) {
        packages.removeAll(QString());
        packages.removeDuplicates();
        packages.sort();
        if (!best || packages.size() < best->size())
            best = std::move(packages);
    };
    if (auto direct = hopPackage(modes, source, target))
        consider({*direct});
    if (best && best->isEmpty())
        return best;
    // Spanish and English have the most pairs; among routes of equal cost they come first.
    QStringList pivots{QStringLiteral("es"), QStringLiteral("en")};
    for (const QString& language : knownLanguages(modes))
        if (!pivots.contains(language))
            pivots.append(language);
    for (const QString& pivot : std::as_const(pivots)) {
        if (pivot == source || pivot == target)
            continue;
        const auto first = hopPackage(modes, source, pivot);
        if (!first)
            continue;
        if (const auto second = hopPackage(modes, pivot, target))
            consider({*first, *second});
    }
    return best;
}

} // namespace ovra::ApertiumRoutes
