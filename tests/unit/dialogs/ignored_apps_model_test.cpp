#include "dialogs/desktop_entry_name.h"
#include "dialogs/ignored_apps_model.h"
#include "support/settings_fixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {

class IgnoredAppsModelTest : public ::testing::Test {
protected:
    IgnoredAppsModelTest() {
        QDir().mkpath(apps());
        writeEntry(u"org.example.Editor"_s, "[Desktop Entry]\nType=Application\nName=Editor\n"
                                            "Name[pt]=Editor de Texto\nName[pt_BR]=Editor BR\n");
    }
    QString apps() const { return s.dir.filePath(u"applications"_s); }
    void writeEntry(const QString& id, const QByteArray& text) {
        QFile file(apps() + u'/' + id + u".desktop"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    IgnoredAppsModel::NameLookup lookup(const QString& locale) {
        return [this, locale](const QString& id) {
            return DesktopEntryName::find(id, {apps()}, locale);
        };
    }
    test::TempSettings s;
};

} // namespace

TEST_F(IgnoredAppsModelTest, EmptyNamesAreFilledFromTheDesktopEntryButNotStored) {
    s.prefs.ignore(u"org.example.Editor"_s, QString());
    s.prefs.ignore(u"org.example.Missing"_s, QString());
    s.prefs.ignore(u"org.example.Named"_s, u"Named App"_s);
    IgnoredAppsModel model(s.prefs, lookup(u"pt_BR"_s));
    model.reload();
    ASSERT_EQ(model.apps().size(), 3);
    EXPECT_EQ(model.apps()[0].name, u"Editor BR"_s);
    EXPECT_EQ(model.apps()[1].name, QString());
    EXPECT_EQ(IgnoredAppsModel::title(model.apps()[1]), u"org.example.Missing"_s);
    EXPECT_EQ(IgnoredAppsModel::title(model.apps()[2]), u"Named App"_s);
    EXPECT_EQ(s.prefs.ignoredApps()[0].name, QString());
}

TEST_F(IgnoredAppsModelTest, ReactivatingRemovesOneOrAll) {
    s.prefs.ignore(u"a.One"_s, u"One"_s);
    s.prefs.ignore(u"b.Two"_s, u"Two"_s);
    IgnoredAppsModel model(s.prefs, lookup(u"C"_s));
    model.reload();
    model.reactivate(u"a.One"_s);
    ASSERT_EQ(model.apps().size(), 1);
    EXPECT_EQ(model.apps()[0].appId, u"b.Two"_s);
    EXPECT_FALSE(s.prefs.isIgnored(u"a.One"_s));

    s.prefs.ignore(u"c.Three"_s, u"Three"_s); // ignored from the menu meanwhile
    EXPECT_EQ(model.apps().size(), 1);        // shown only after the next reload
    model.reload();
    EXPECT_EQ(model.apps().size(), 2);
    model.reactivateAll();
    EXPECT_TRUE(model.apps().isEmpty());
    EXPECT_EQ(s.defaults.mapList(Prefs::Keys::ignoredApps), QList<StringMap>());
}

TEST(DesktopEntryName, PicksTheNameForTheLocaleWithFallbacks) {
    const QString entry = u"# comment\n[Desktop Entry]\nName=Files\nName[de]=Dateien\n"
                          "Name[sr@latin]=Datoteke\nName[pt_BR]=Arquivos\\sBR\n"
                          "[Desktop Action new]\nName[fr]=Nouveau\n"_s;
    using DesktopEntryName::nameFromEntry;
    EXPECT_EQ(nameFromEntry(entry, u"pt_BR"_s), u"Arquivos BR"_s);
    EXPECT_EQ(nameFromEntry(entry, u"de_AT.UTF-8"_s), u"Dateien"_s);
    EXPECT_EQ(nameFromEntry(entry, u"sr_RS@latin"_s), u"Datoteke"_s);
    EXPECT_EQ(nameFromEntry(entry, u"fr_FR"_s), u"Files"_s); // other groups do not count
    EXPECT_EQ(nameFromEntry(u"[Desktop Entry]\nName=X\nHidden=true\n"_s, u"C"_s), std::nullopt);
    EXPECT_EQ(nameFromEntry(u"[Desktop Entry]\nExec=x\n"_s, u"C"_s), std::nullopt);
}

TEST(DesktopEntryName, RefusesIdsThatLeaveTheFolders) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"apps"_s));
    QFile outside(dir.filePath(u"evil.desktop"_s));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write("[Desktop Entry]\nName=Evil\n");
    outside.close();
    EXPECT_EQ(DesktopEntryName::find(u"../evil"_s, {dir.filePath(u"apps"_s)}, u"C"_s),
              std::nullopt);
    EXPECT_EQ(DesktopEntryName::find(u"evil"_s, {dir.path()}, u"C"_s), u"Evil"_s);
}

TEST(DesktopEntryName, FindsEntriesInTheUsersApplicationsFolder) {
    // The test main points XDG_DATA_HOME at a temporary folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QDir().mkpath(folder);
    QFile file(folder + u"/test.ovra.Probe.desktop"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nName=Probe\n");
    file.close();
    EXPECT_EQ(DesktopEntryName::find(u"test.ovra.Probe"_s), u"Probe"_s);
    file.remove();
}
