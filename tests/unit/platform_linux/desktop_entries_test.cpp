#include "platform/linux/desktop_entries.h"
#include "platform/linux/terminal_keys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ovra::platform {
namespace {

class DesktopEntriesTest : public ::testing::Test {
protected:
    void write(const QString& dataDir, const QString& relative, const QByteArray& content) {
        const QString path = QDir(dataDir).filePath(u"applications/" + relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QTemporaryDir user;
    QTemporaryDir system;
};

TEST_F(DesktopEntriesTest, MatchesProgramWindowClassOrIdAndLocalizesTheName) {
    write(system.path(), u"org.example.Editor.desktop"_s,
          "[Desktop Entry]\nName=Editor\nName[pt]=Editor PT\nName[pt_BR]=Editor BR\n"
          "Exec=env LANG=C /usr/bin/example-editor --new-window %U\n");
    write(system.path(), u"vendor/viewer.desktop"_s,
          "[Desktop Entry]\nName=Viewer\nExec=\"/opt/My Viewer/run\" %f\n"
          "StartupWMClass=MyViewer\n");
    write(system.path(), u"calc.desktop"_s, "[Desktop Entry]\nName=Calc\nTryExec=somewhere-else\n");
    write(system.path(), u"script.desktop"_s,
          "[Desktop Entry]\nName=Script\nExec=python3 /usr/share/script/main.py\n");

    DesktopEntries entries({system.path()}, u"pt_BR"_s);
    EXPECT_EQ(entries.find(u"/usr/bin/example-editor"_s, {}),
              (DesktopEntry{u"org.example.Editor"_s, u"Editor BR"_s}));
    // A subfolder joins the id with a dash; a quoted program path with spaces still matches.
    EXPECT_EQ(entries.find(u"/opt/My Viewer/run"_s, {})->id, u"vendor-viewer");
    EXPECT_EQ(entries.find(u"/elsewhere/viewer-bin"_s, u"myviewer"_s)->id, u"vendor-viewer");
    EXPECT_EQ(entries.find(u"/usr/bin/calc"_s, {})->name, u"Calc");
    // An interpreter names no application: every script would be "Script".
    EXPECT_EQ(entries.find(u"/usr/bin/python3"_s, {}), std::nullopt);
    EXPECT_EQ(entries.find(u"/usr/bin/unknown"_s, u"Unknown"_s), std::nullopt);

    DesktopEntries portuguese({system.path()}, u"pt_PT"_s);
    EXPECT_EQ(portuguese.find(u"example-editor"_s, {})->name, u"Editor PT");
}

TEST_F(DesktopEntriesTest, UserEntriesHideSystemOnesAndHiddenEntriesDoNotCount) {
    write(system.path(), u"tool.desktop"_s, "[Desktop Entry]\nName=System Tool\nExec=tool\n");
    write(user.path(), u"tool.desktop"_s, "[Desktop Entry]\nName=My Tool\nExec=tool\n");
    write(system.path(), u"gone.desktop"_s, "[Desktop Entry]\nName=Gone\nExec=gone\n");
    write(user.path(), u"gone.desktop"_s, "[Desktop Entry]\nHidden=true\n");
    write(system.path(), u"actions.desktop"_s,
          "[Desktop Entry]\nName=Main\nExec=main-program\n"
          "[Desktop Action New]\nName=New Window\nExec=other-program\n");

    DesktopEntries entries({user.path(), system.path()}, u"en_US"_s);
    EXPECT_EQ(entries.find(u"tool"_s, {})->name, u"My Tool");
    EXPECT_EQ(entries.find(u"gone"_s, {}), std::nullopt);
    EXPECT_EQ(entries.find(u"main-program"_s, {})->name, u"Main");
    EXPECT_EQ(entries.find(u"other-program"_s, {}), std::nullopt);
}

TEST_F(DesktopEntriesTest, TerminalsAreKnownByCategoryOrWindowClassAndGetTheirOwnChords) {
    write(system.path(), u"vte-term.desktop"_s,
          "[Desktop Entry]\nName=Term\nExec=vte-term\nCategories=GTK;System;TerminalEmulator;\n");
    write(system.path(), u"debian-xterm.desktop"_s,
          "[Desktop Entry]\nName=XTerm\nExec=xterm\nCategories=System;TerminalEmulator;\n");
    write(system.path(), u"editor.desktop"_s,
          "[Desktop Entry]\nName=Editor\nExec=editor\nCategories=Utility;TextEditor;\n");
    DesktopEntries entries({system.path()}, u"en_US"_s);

    struct Case {
        const char* program;
        const char* windowClass;
        ClipboardChords chords;
    };
    const Case cases[] = {
        {"vte-term", "Vte-term", ClipboardChords::controlShift}, // by its entry's category
        {"xterm", "XTerm", ClipboardChords::none}, // its entry says terminal, its class decides
        {"uxterm", "UXTerm", ClipboardChords::none},
        {"urxvt", "URxvt", ClipboardChords::none},
        {"st", "st-256color", ClipboardChords::controlShift}, // no entry, known class
        {"editor", "Editor", ClipboardChords::control},
        {"unknown", "", ClipboardChords::control},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const auto entry = entries.find(QString::fromLatin1(c.program), {});
        EXPECT_EQ(clipboardChordsFor(QString::fromLatin1(c.windowClass),
                                     entry && entry->terminalEmulator),
                  c.chords);
    }
    EXPECT_TRUE(entries.find(u"xterm"_s, {})->terminalEmulator);
    EXPECT_FALSE(entries.find(u"editor"_s, {})->terminalEmulator);
}

} // namespace
} // namespace ovra::platform
