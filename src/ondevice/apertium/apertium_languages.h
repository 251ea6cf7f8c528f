#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace ovra {

// Language codes as Apertium, libexttextcat, the target-language catalogue and the pack list
// spell them, brought to one form: the language part, lower case, two letters where ISO 639-1
// has them ("eng" → "en", "pt-BR" → "pt", "zh-Hans" → "zh"), three letters otherwise ("hbs").
namespace ApertiumLanguages {

QString canonical(QStringView code);
// The region a target asks for, as Apertium names its variants ("pt-BR" → "BR"); plain "pt"
// asks for the Brazilian variant, the Portuguese this program speaks.
QString preferredVariant(QStringView targetCode);

// A language pair that Debian packages (Debian 12). Most pairs translate both ways; a few only
// from `first` to `second`.
struct DebianPair {
    QString package;
    QString first;
    QString second;
    bool bothWays = true;
};
const std::vector<DebianPair>& debianPairs();

// The Portuguese name of a language for messages, starting in lower case ("inglês"); the code
// itself when the catalogue has no name for it.
QString displayName(QStringView code);
// The English name placed into instructions for a language model ("Portuguese").
QString promptName(QStringView code);

} // namespace ApertiumLanguages

} // namespace ovra
