#include "platform/linux/xdg_session_autostart.h"
#include "support/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using ovra::platform::XdgSessionAutostart;

namespace {

// The test run's XDG_CONFIG_HOME is a temporary folder of its own; each test starts without an
// autostart folder.
class SessionAutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString folder = QFileInfo(XdgSessionAutostart::entryPath()).path();
        QFile::remove(folder);
        QDir(folder).removeRecursively();
    }
    static QString entry() {
        return QString::fromUtf8(readWholeFile(XdgSessionAutostart::entryPath()).value_or(""));
    }
};

TEST_F(SessionAutostartTest, WritesAnEntryThatRunsThisProgramAndRemovesIt) {
    EXPECT_TRUE(XdgSessionAutostart::entryPath().endsWith(u"/autostart/app.ovra.Ovra.desktop"));
    XdgSessionAutostart autostart(u"/opt/my apps/100%/ovra"_s);
    EXPECT_FALSE(autostart.isEnabled());

    ASSERT_TRUE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_TRUE(entry().startsWith(u"[Desktop Entry]\nType=Application\n"));
    // Quoted for the space, the percent sign doubled.
    EXPECT_TRUE(entry().contains(u"\nExec=\"/opt/my apps/100%%/ovra\"\n")) << entry().toStdString();

    ASSERT_TRUE(autostart.setEnabled(false));
    EXPECT_FALSE(QFileInfo::exists(XdgSessionAutostart::entryPath()));
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.setEnabled(false)); // nothing to remove is no failure
}

TEST_F(SessionAutostartTest, TheFileIsTheOnlyRecord) {
    XdgSessionAutostart autostart(u"/usr/bin/ovra"_s);
    ASSERT_TRUE(autostart.setEnabled(true));
    ASSERT_TRUE(QFile::remove(XdgSessionAutostart::entryPath())); // removed by hand
    EXPECT_FALSE(autostart.isEnabled());

    // Desktops switch an entry off by editing it.
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        ASSERT_TRUE(writeFileAtomically(XdgSessionAutostart::entryPath(),
                                        QByteArray("[Desktop Entry]\nExec=ovra\n") + off + '\n',
                                        0644, 0755));
        EXPECT_FALSE(autostart.isEnabled()) << off;
    }

    // A folder that cannot be made is a failure.
    const QString folder = QFileInfo(XdgSessionAutostart::entryPath()).path();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(writeFileAtomically(folder, "not a folder", 0644, 0755));
    EXPECT_FALSE(autostart.setEnabled(true));
    EXPECT_FALSE(autostart.isEnabled());
}

} // namespace
