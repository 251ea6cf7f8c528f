#include "settings/l10n_tables.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {

// Names and key symbols of another desktop: wrong on Linux in any language the program speaks.
const QRegularExpression foreignWords(uR"(\bMac\b|macOS|Apple|Keychain|[⌘⌥⌃⇧])"_s);

} // namespace

TEST(PlatformWords, NoInterfaceTextInAnyLanguageNamesAnotherDesktop) {
    for (const auto* table :
         {&L10n::detail::portuguese(), &L10n::detail::english(), &L10n::detail::spanish(),
          &L10n::detail::french(), &L10n::detail::german(), &L10n::detail::italian()}) {
        for (auto it = table->begin(); it != table->end(); ++it)
            EXPECT_FALSE(foreignWords.match(it.value()).hasMatch()) << it.value().toStdString();
    }
}

// The fixed texts (dialogs, hints, errors, shortcut names) live in string literals across the
// program; every literal of every source file is read.
TEST(PlatformWords, NoStringLiteralOfTheProgramNamesAnotherDesktop) {
    const QRegularExpression literal(uR"("(?:[^"\\\n]|\\.)*")"_s);
    int files = 0;
    QDirIterator it(QStringLiteral(OVRA_SOURCE_DIR), {u"*.cpp"_s, u"*.h"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        ++files;
        const QString source = QString::fromUtf8(file.readAll());
        for (const auto& match : literal.globalMatch(source)) {
            EXPECT_FALSE(foreignWords.match(match.captured()).hasMatch())
                << file.fileName().toStdString() << ": " << match.captured().toStdString();
        }
    }
    EXPECT_GT(files, 100);
}
