#include "ondevice/apertium/apertium_languages.h"

#include "settings/catalogues.h"

#include <QHash>

namespace ovra::ApertiumLanguages {

namespace {

const QHash<QString, QString>& threeToTwo() {
    static const QHash<QString, QString> table{
        {QStringLiteral("afr"), QStringLiteral("af")},
        {QStringLiteral("nld"), QStringLiteral("nl")},
        {QStringLiteral("arg"), QStringLiteral("an")},
        {QStringLiteral("cat"), QStringLiteral("ca")},
        {QStringLiteral("ita"), QStringLiteral("it")},
        {QStringLiteral("srd"), QStringLiteral("sc")},
        {QStringLiteral("bel"), QStringLiteral("be")},
        {QStringLiteral("rus"), QStringLiteral("ru")},
        {QStringLiteral("bre"), QStringLiteral("br")},
        {QStringLiteral("fra"), QStringLiteral("fr")},
        {QStringLiteral("dan"), QStringLiteral("da")},
        {QStringLiteral("nor"), QStringLiteral("no")},
        {QStringLiteral("eng"), QStringLiteral("en")},
        {QStringLiteral("spa"), QStringLiteral("es")},
        {QStringLiteral("glg"), QStringLiteral("gl")},
        {QStringLiteral("epo"), QStringLiteral("eo")},
        {QStringLiteral("por"), QStringLiteral("pt")},
        {QStringLiteral("ron"), QStringLiteral("ro")},
        {QStringLiteral("eus"), QStringLiteral("eu")},
        {QStringLiteral("mkd"), QStringLiteral("mk")},
        {QStringLiteral("hin"), QStringLiteral("hi")},
        {QStringLiteral("ind"), QStringLiteral("id")},
        {QStringLiteral("isl"), QStringLiteral("is")},
        {QStringLiteral("swe"), QStringLiteral("sv")},
        {QStringLiteral("nno"), QStringLiteral("nn")},
        {QStringLiteral("nob"), QStringLiteral("nb")},
        {QStringLiteral("oci"), QStringLiteral("oc")},
        {QStringLiteral("pol"), QStringLiteral("pl")},
        {QStringLiteral("ukr"), QStringLiteral("uk")},
        {QStringLiteral("urd"), QStringLiteral("ur")},
        {QStringLiteral("bul"), QStringLiteral("bg")},
        {QStringLiteral("slv"), QStringLiteral("sl")},
        {QStringLiteral("zlm"), QStringLiteral("ms")},
        {QStringLiteral("zho"), QStringLiteral("zh")},
        {QStringLiteral("deu"), QStringLiteral("de")},
        {QStringLiteral("jpn"), QStringLiteral("ja")},
        // Old codes that still turn up.
        {QStringLiteral("iw"), QStringLiteral("he")},
        {QStringLiteral("in"), QStringLiteral("id")},
    };
    return table;
}

DebianPair pair(const char* package, const char* first, const char* second, bool bothWays = true) {
    return DebianPair{QString::fromLatin1(package), QString::fromLatin1(first),
                      QString::fromLatin1(second), bothWays};
}

// The catalogue entry for a code: the exact code first, then any entry of the same language.
std::optional<TargetLanguage> catalogueEntry(QStringView code) {
    if (auto exact = TargetLanguage::named(code))
        return exact;
    const QString language = canonical(code);
    for (const TargetLanguage& entry : TargetLanguage::allCases())
        if (canonical(entry.code) == language)
            return entry;
    return std::nullopt;
}

} // namespace

QString canonical(QStringView code) {
    QStringView language = code.trimmed();
    const qsizetype cut = language.indexOf(QLatin1Char('-'));
    if (cut >= 0)
        language = language.left(cut);
    const qsizetype underscore = language.indexOf(QLatin1Char('_'));
    if (underscore >= 0)
        language = language.left(underscore);
    const QString lower = language.toString().toLower();
    return threeToTwo().value(lower, lower);
}

QString preferredVariant(QStringView targetCode) {
    const QStringList parts = targetCode.toString().split(QLatin1Char('-'));
    for (qsizetype i = 1; i < parts.size(); ++i)
        if (parts[i].size() == 2 && parts[i].isUpper())
            return parts[i];
    if (canonical(targetCode) == u"pt")
        return QStringLiteral("BR");
    return {};
}

const std::vector<DebianPair>& debianPairs() {
    static const std::vector<DebianPair> pairs{
        pair("apertium-afr-nld", "af", "nl"),        pair("apertium-arg-cat", "an", "ca"),
        pair("apertium-bel-rus", "be", "ru"),        pair("apertium-br-fr", "br", "fr", false),
        pair("apertium-cat-ita", "ca", "it"),        pair("apertium-cat-srd", "ca", "sc"),
        pair("apertium-dan-nor", "da", "no"),        pair("apertium-en-gl", "en", "gl"),
        pair("apertium-eng-cat", "en", "ca"),        pair("apertium-eng-spa", "en", "es"),
        pair("apertium-eo-ca", "ca", "eo", false),   pair("apertium-eo-en", "en", "eo", false),
        pair("apertium-eo-es", "es", "eo", false),   pair("apertium-eo-fr", "fr", "eo", false),
        pair("apertium-es-gl", "es", "gl"),          pair("apertium-es-pt", "es", "pt"),
        pair("apertium-es-ro", "es", "ro"),          pair("apertium-eu-en", "eu", "en", false),
        pair("apertium-eu-es", "eu", "es", false),   pair("apertium-fr-es", "fr", "es"),
        pair("apertium-fra-cat", "fr", "ca"),        pair("apertium-fra-frp", "fr", "frp"),
        pair("apertium-hbs-eng", "hbs", "en"),       pair("apertium-hbs-mkd", "hbs", "mk"),
        pair("apertium-hbs-slv", "hbs", "sl"),       pair("apertium-ind-zlm", "id", "ms"),
        pair("apertium-isl-eng", "is", "en", false), pair("apertium-isl-swe", "is", "sv"),
        pair("apertium-mkd-bul", "mk", "bg"),        pair("apertium-mkd-eng", "mk", "en", false),
        pair("apertium-nno-nob", "nn", "nb"),        pair("apertium-oc-ca", "oc", "ca"),
        pair("apertium-oc-es", "oc", "es"),          pair("apertium-oci-fra", "oc", "fr"),
        pair("apertium-pol-szl", "pl", "szl"),       pair("apertium-por-cat", "pt", "ca"),
        pair("apertium-pt-gl", "pt", "gl"),          pair("apertium-rus-ukr", "ru", "uk"),
        pair("apertium-spa-arg", "es", "an"),        pair("apertium-spa-ast", "es", "ast", false),
        pair("apertium-spa-cat", "es", "ca"),        pair("apertium-spa-ita", "es", "it"),
        pair("apertium-srd-ita", "sc", "it"),        pair("apertium-swe-dan", "sv", "da"),
        pair("apertium-swe-nor", "sv", "no"),        pair("apertium-urd-hin", "ur", "hi"),
    };
    return pairs;
}

QString displayName(QStringView code) {
    const auto entry = catalogueEntry(code);
    if (!entry)
        return code.toString();
    QString name = entry->displayName;
    if (!name.isEmpty())
        name[0] = name[0].toLower();
    return name;
}

QString promptName(QStringView code) {
    const auto entry = catalogueEntry(code);
    return entry ? entry->promptName : code.toString();
}

} // namespace ovra::ApertiumLanguages
