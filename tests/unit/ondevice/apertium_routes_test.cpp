#include "ondevice/apertium/apertium_languages.h"
#include "ondevice/apertium/apertium_routes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {

// A data folder holding empty mode files with the given names.
struct ModesFolder {
    QTemporaryDir dir;
    explicit ModesFolder(const QStringList& names) {
        QDir(dir.path()).mkpath(u"modes"_s);
        for (const QString& name : names) {
            QFile file(dir.filePath(u"modes/"_s + name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    std::vector<ApertiumMode> modes() const { return ApertiumRoutes::installedModes(dir.path()); }
};

TEST(ApertiumLanguages, BringsEveryCodeFormToOne) {
    EXPECT_EQ(ApertiumLanguages::canonical(u"eng"), u"en"_s);
    EXPECT_EQ(ApertiumLanguages::canonical(u"pt-BR"), u"pt"_s);
    EXPECT_EQ(ApertiumLanguages::canonical(u"zh-Hans"), u"zh"_s);
    EXPECT_EQ(ApertiumLanguages::canonical(u"mni-Mtei"), u"mni"_s);
    EXPECT_EQ(ApertiumLanguages::canonical(u"hbs"), u"hbs"_s);
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"pt"), u"BR"_s);
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"en-US"), u"US"_s);
    EXPECT_EQ(ApertiumLanguages::preferredVariant(u"zh-TW"), u"TW"_s);
    EXPECT_TRUE(ApertiumLanguages::preferredVariant(u"es").isEmpty());
    EXPECT_EQ(ApertiumLanguages::displayName(u"en"), u"inglês"_s);
    EXPECT_EQ(ApertiumLanguages::displayName(u"xx"), u"xx"_s);
}

TEST(ApertiumRoutes,
     ReadsOnlyTranslationModesGoesDirectlyOrThroughOnePivotAndNamesTheFewestPackages) {
    ModesFolder folder({u"eng-spa.mode"_s, u"es-pt_BR.mode"_s, u"eng-spa-tagger.mode"_s,
                        u"README"_s, u"spa-eng.mode"_s});
    auto modes = folder.modes();
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].name, u"eng-spa"_s);
    EXPECT_EQ(modes[0].source, u"en"_s);
    EXPECT_EQ(modes[1].variant, u"BR"_s);
    EXPECT_TRUE(ApertiumRoutes::installedModes(u"/nonexistent"_s).empty());

    // A route goes directly or through one pivot, preferring the target's variant.
    ModesFolder pairs({u"eng-spa.mode"_s, u"spa-eng.mode"_s, u"es-pt.mode"_s, u"es-pt_BR.mode"_s,
                       u"pt-es.mode"_s});
    modes = pairs.modes();
    using Route = std::optional<QStringList>;
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, u"en"_s, u"es"_s),
              Route(QStringList{u"eng-spa"_s}));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, u"en"_s, u"pt"_s, u"BR"_s),
              Route(QStringList({u"eng-spa"_s, u"es-pt_BR"_s})));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, u"en"_s, u"pt"_s),
              Route(QStringList({u"eng-spa"_s, u"es-pt"_s})));
    EXPECT_EQ(ApertiumRoutes::installedRoute(modes, u"pt"_s, u"en"_s),
              Route(QStringList({u"pt-es"_s, u"spa-eng"_s})));
    EXPECT_FALSE(ApertiumRoutes::installedRoute(modes, u"en"_s, u"ja"_s));
    EXPECT_FALSE(ApertiumRoutes::installedRoute(modes, u"en"_s, u"en"_s));

    ModesFolder empty({});
    using Packages = std::optional<QStringList>;
    EXPECT_EQ(ApertiumRoutes::packagesNeeded(empty.modes(), u"en"_s, u"es"_s),
              Packages(QStringList{u"apertium-eng-spa"_s}));
    EXPECT_EQ(ApertiumRoutes::packagesNeeded(empty.modes(), u"en"_s, u"pt"_s),
              Packages(QStringList({u"apertium-eng-spa"_s, u"apertium-es-pt"_s})));
    EXPECT_FALSE(ApertiumRoutes::packagesNeeded(empty.modes(), u"en"_s, u"ja"_s));
    // A one-way pair does not serve the other way.
    EXPECT_FALSE(ApertiumRoutes::packagesNeeded(empty.modes(), u"fr"_s, u"br"_s));

    // With Spanish → Portuguese installed, English → Portuguese needs one package only.
    ModesFolder some({u"es-pt.mode"_s, u"pt-es.mode"_s});
    EXPECT_EQ(ApertiumRoutes::packagesNeeded(some.modes(), u"en"_s, u"pt"_s),
              Packages(QStringList{u"apertium-eng-spa"_s}));
    EXPECT_EQ(ApertiumRoutes::packagesNeeded(some.modes(), u"es"_s, u"pt"_s),
              Packages(QStringList()));
}

} // namespace
