#include "ondevice/apertium/apertium_languages.h"
#include "ondevice/apertium/apertium_routes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovra;

namespace {

// A data folder holding empty mode files with the given names.
struct ModesFolder {
    QTemporaryDir dir;
    explicit ModesFolder(const QStringList& names) {
        QDir(dir.path()).mkpath(QStringLiteral("modes"));
        for (const QString& name : names) {
            QFile file(dir.filePath(QStringLiteral("modes/") + name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    std::vector<ApertiumMode> modes() const { return ApertiumRoutes::installedModes(dir.path()); }
};

TEST(ApertiumLanguages, BringsEveryCodeFormToOne) {
    EXPECT_EQ(ApertiumLanguages::canonical(u"eng"), QStringLiteral("en"));
    EXPECT_EQ(ApertiumLanguages::canonical(u"pt-BR"), QStringLiteral("pt"));
    EXPECT_EQ(ApertiumLanguages::canonical(u"zh-Hans"), QStringLiteral("zh"));
    EXPECT_EQ(ApertiumLanguages::canonical(u"mni-Mtei"), QStringLiteral("mni"));
    EXPECT_EQ(ApertiumLanguages::canonical(u"hbs"), QStringLiteral("hbs"));
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"pt"), QStringLiteral("BR"));
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"en-US"), QStringLiteral("US"));
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"zh-TW"), QStringLiteral("TW"));
    EXPECT_TRUE(ApertiumLanguages::preferredVariant(u"es").isEmpty());
    EXPECT_EQ(ApertiumLanguages::displayName(u"en"), QStringLiteral("inglês"));
    EXPECT_EQ(ApertiumLanguages::displayName(u"xx"), QStringLiteral("xx"));
}

TEST(ApertiumRoutes, ReadsOnlyTranslationModes) {
    ModesFolder folder({QStringLiteral("eng-spa.mode"), QStringLiteral("es-pt_BR.mode"),
                        QStringLiteral("eng-spa-tagger.mode"), QStringLiteral("README"),
                        QStringLiteral("spa-eng.mode")});
    const auto modes = folder.modes();
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].name, QStringLiteral("eng-spa"));
    EXPECT_EQ(modes[0].source, QStringLiteral("en"));
    EXPECT_EQ(modes[1].variant, QStringLiteral("BR"));
    EXPECT_TRUE(ApertiumRoutes::installedModes(QStringLiteral("/nonexistent")).empty());
}

TEST(ApertiumRoutes, GoesDirectlyOrThroughOnePivotPreferringTheTargetsVariant) {
    ModesFolder folder({QStringLiteral("eng-spa.mode"), QStringLiteral("spa-eng.mode"),
                        QStringLiteral("es-pt.mode"), QStringLiteral("es-pt_BR.mode"),
                        QStringLiteral("pt-es.mode")});
    const auto modes = folder.modes();
    using Route = std::optional<QStringList>;
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, QStringLiteral("en"), QStringLiteral("es")),
              Route(QStringList{QStringLiteral("eng-spa")}));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, QStringLiteral("en"), QStringLiteral("pt"),
                                             QStringLiteral("BR")),
              Route(QStringList({QStringLiteral("eng-spa"), QStringLiteral("es-pt_BR")})));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, QStringLiteral("en"), QStringLiteral("pt")),
              Route(QStringList({QStringLiteral("eng-spa"), QStringLiteral("es-pt")})));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, QStringLiteral("pt"), QStringLiteral("en")),
              Route(QStringList({QStringLiteral("pt-es"), QStringLiteral("spa-eng")})));
    EXPECT_FALSE(ApertiumRoutes::installedRoute(modes, QStringLiteral("en"), QStringLiteral("ja")));
    EXPECT_FALSE(ApertiumRoutes::installedRoute(modes, QStringLiteral("en"), QStringLiteral("en")));
}

TEST(ApertiumRoutes, NamesTheFewestPackagesToInstall) {
    ModesFolder empty({});
    using Packages = std::optional<QStringList>;
    EXPECT_EQ(
        ApertiumRoutes::packagesNeeded(empty.modes(), QStringLiteral("en"), QStringLiteral("es")),
        Packages(QStringList{QStringLiteral("apertium-eng-spa")}));
    EXPECT_EQ(
        ApertiumRoutes::packagesNeeded(empty.modes(), QStringLiteral("en"), QStringLiteral("pt")),
        Packages(
            QStringList({QStringLiteral("apertium-eng-spa"), QStringLiteral("apertium-es-pt")})));
    EXPECT_FALSE(
        ApertiumRoutes::packagesNeeded(empty.modes(), QStringLiteral("en"), QStringLiteral("ja")));
    // A one-way pair does not serve the other way.
    EXPECT_FALSE(
        ApertiumRoutes::packagesNeeded(empty.modes(), QStringLiteral("fr"), QStringLiteral("br")));

    // With Spanish → Portuguese installed, English → Portuguese needs one package only.
    ModesFolder some({QStringLiteral("es-pt.mode"), QStringLiteral("pt-es.mode")});
    EXPECT_EQ(
        ApertiumRoutes::packagesNeeded(some.modes(), QStringLiteral("en"), QStringLiteral("pt")),
        Packages(QStringList{QStringLiteral("apertium-eng-spa")}));
    EXPECT_EQ(
        ApertiumRoutes::packagesNeeded(some.modes(), QStringLiteral("es"), QStringLiteral("pt")),
        Packages(QStringList()));
}

} // namespace
