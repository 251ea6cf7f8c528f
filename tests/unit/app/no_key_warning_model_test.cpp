#include "app/no_key_warning_model.h"
#include "settings/prefs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;

TEST(NoKeyWarningModel, StoresEveryChangeOfTheCheckbox) {
    QTemporaryDir dir;
    DefaultsStore defaults(dir.filePath(u"defaults.json"_s));
    Prefs prefs(defaults, [] { return std::optional<QString>(); });
    NoKeyWarningModel model(prefs);
    EXPECT_FALSE(model.dontShowAgain());
    EXPECT_FALSE(defaults.contains(Prefs::Keys::suppressNoKeyWarning));

    model.setDontShowAgain(true);
    EXPECT_TRUE(prefs.suppressNoKeyWarning());
    model.setDontShowAgain(false);
    EXPECT_FALSE(prefs.suppressNoKeyWarning());
    EXPECT_EQ(defaults.boolean(Prefs::Keys::suppressNoKeyWarning), false);
}
