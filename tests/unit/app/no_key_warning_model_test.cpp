#include "app/no_key_warning_model.h"
#include "support/settings_fixture.h"

#include <gtest/gtest.h>

using namespace ovra;

TEST(NoKeyWarningModel, StoresEveryChangeOfTheCheckbox) {
    test::TempSettings settings;
    NoKeyWarningModel model(settings.prefs);
    EXPECT_FALSE(model.dontShowAgain());
    EXPECT_FALSE(settings.defaults.contains(Prefs::Keys::suppressNoKeyWarning));

    model.setDontShowAgain(true);
    EXPECT_TRUE(settings.prefs.suppressNoKeyWarning());
    model.setDontShowAgain(false);
    EXPECT_FALSE(settings.prefs.suppressNoKeyWarning());
    EXPECT_EQ(settings.defaults.boolean(Prefs::Keys::suppressNoKeyWarning), false);
}
