#include "dialogs/ignored_apps_model.h"
#include "support/settings_fixture.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

namespace {

class IgnoredAppsModelTest : public ::testing::Test {
protected:
    // What the desktop's entries would say, in this test's locale.
    static std::optional<QString> lookup(const QString& appId) {
        if (appId == u"org.example.Editor"_s)
            return u"Editor BR"_s;
        return std::nullopt;
    }
    test::TempSettings s;
};

} // namespace

// Names left empty are looked up for the list but not stored; the list changes on reload only.
TEST_F(IgnoredAppsModelTest, EmptyNamesAreLookedUpButNotStoredAndReactivatingRemovesOneOrAll) {
    s.prefs.ignore(u"org.example.Editor"_s, QString());
    s.prefs.ignore(u"org.example.Missing"_s, QString());
    s.prefs.ignore(u"org.example.Named"_s, u"Named App"_s);
    IgnoredAppsModel model(s.prefs, lookup);
    model.reload();
    ASSERT_EQ(model.apps().size(), 3);
    EXPECT_EQ(model.apps()[0].name, u"Editor BR"_s);
    EXPECT_EQ(model.apps()[1].name, QString());
    EXPECT_EQ(IgnoredAppsModel::title(model.apps()[1]), u"org.example.Missing"_s);
    EXPECT_EQ(IgnoredAppsModel::title(model.apps()[2]), u"Named App"_s);
    EXPECT_EQ(s.prefs.ignoredApps()[0].name, QString());

    model.reactivate(u"org.example.Editor"_s);
    ASSERT_EQ(model.apps().size(), 2);
    EXPECT_EQ(model.apps()[0].appId, u"org.example.Missing"_s);
    EXPECT_FALSE(s.prefs.isIgnored(u"org.example.Editor"_s));

    s.prefs.ignore(u"c.Three"_s, u"Three"_s); // ignored from the menu meanwhile
    EXPECT_EQ(model.apps().size(), 2);        // shown only after the next reload
    model.reload();
    EXPECT_EQ(model.apps().size(), 3);
    model.reactivateAll();
    EXPECT_TRUE(model.apps().isEmpty());
    EXPECT_EQ(s.defaults.mapList(Prefs::Keys::ignoredApps), QList<StringMap>());
}
