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

// In the test run's own XDG_CONFIG_HOME, from no autostart folder on. Turning the entry on and
// off as the preferences do is left to their tests.
TEST(SessionAutostart, WritesAnEntryThatRunsThisProgramAndTakesTheDesktopsEditsAsOff) {
    const QString path = XdgSessionAutostart::entryPath();
    const QString folder = QFileInfo(path).path();
    QFile::remove(folder);
    QDir(folder).removeRecursively();
    EXPECT_TRUE(path.endsWith(u"/autostart/app.ovra.Ovra.desktop"));

    XdgSessionAutostart autostart(u"/opt/my apps/100%/ovra"_s);
    EXPECT_TRUE(autostart.setEnabled(false)); // nothing to remove is no failure
    ASSERT_TRUE(autostart.setEnabled(true));
    const QString entry = QString::fromUtf8(readWholeFile(path).value_or(""));
    EXPECT_TRUE(entry.startsWith(u"[Desktop Entry]\nType=Application\n"));
    // Quoted for the space, the percent sign doubled.
    EXPECT_TRUE(entry.contains(u"\nExec=\"/opt/my apps/100%%/ovra\"\n")) << entry.toStdString();

    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        ASSERT_TRUE(writeFileAtomically(
            path, QByteArray("[Desktop Entry]\nExec=ovra\n") + off + '\n', 0644, 0755));
        EXPECT_FALSE(autostart.isEnabled()) << off;
    }

    // A folder that cannot be made is a failure.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(writeFileAtomically(folder, "not a folder", 0644, 0755));
    EXPECT_FALSE(autostart.setEnabled(true));
    EXPECT_FALSE(autostart.isEnabled());
    QFile::remove(folder);
}

} // namespace
