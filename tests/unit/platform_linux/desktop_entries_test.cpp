#include "platform/linux/desktop_entries.h"
#include "platform/linux/desktop_entry_file.h"
#include "platform/linux/terminal_keys.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ovra::platform {
namespace {

class DesktopEntriesTest : public ::testing::Test {
protected:
    // Writes an entry whose [Desktop Entry] group holds `content`.
    void write(const QString& dataDir, const char* relative, const QByteArray& content) {
        const QString path = QDir(dataDir).filePath(u"applications/"_s + QLatin1String(relative));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\n" + content);
    }
    QTemporaryDir user;
    QTemporaryDir system;
};

TEST_F(DesktopEntriesTest, FindsTheApplicationOfAProgramAndTellsTerminals) {
    const QString sys = system.path(), usr = user.path();
    write(sys, "org.example.Editor.desktop",
          "Name=Editor\nName[pt]=Editor PT\nName[pt_BR]=Editor BR\n"
          "Exec=env LANG=C /usr/bin/example-editor --new-window %U\n");
    write(sys, "vendor/viewer.desktop",
          "Name=Viewer\nExec=\"/opt/My Viewer/run\" %f\nStartupWMClass=MyViewer\n");
    write(sys, "calc.desktop", "Name=Calc\nTryExec=somewhere-else\n");
    write(sys, "script.desktop", "Name=Script\nExec=python3 /usr/share/script/main.py\n");
    write(sys, "tool.desktop", "Name=System Tool\nExec=tool\n");
    write(usr, "tool.desktop", "Name=My Tool\nExec=tool\n");
    write(sys, "gone.desktop", "Name=Gone\nExec=gone\n");
    write(usr, "gone.desktop", "Name=Gone\nHidden=true\n");
    write(sys, "actions.desktop",
          "Name=Main\nExec=main-program\n[Desktop Action New]\nName=New Window\nExec=other\n");
    write(sys, "vte-term.desktop",
          "Name=Term\nExec=vte-term\nCategories=GTK;System;TerminalEmulator;\n");
    write(sys, "debian-xterm.desktop",
          "Name=XTerm\nExec=xterm\nCategories=System;TerminalEmulator;\n");
    write(sys, "editor.desktop", "Name=Editor\nExec=editor\nCategories=Utility;TextEditor;\n");

    DesktopEntries entries({usr, sys}, u"pt_BR"_s);
    EXPECT_EQ(entries.find(u"/usr/bin/example-editor"_s, {}),
              (DesktopEntry{u"org.example.Editor"_s, u"Editor BR"_s}));
    // A subfolder joins the id with a dash; a quoted program path with spaces still matches.
    EXPECT_EQ(entries.find(u"/opt/My Viewer/run"_s, {})->id, u"vendor-viewer");
    EXPECT_EQ(entries.find(u"/elsewhere/viewer-bin"_s, u"myviewer"_s)->id, u"vendor-viewer");
    EXPECT_EQ(entries.find(u"/usr/bin/calc"_s, {})->name, u"Calc");
    // An interpreter names no application: every script would be "Script".
    EXPECT_EQ(entries.find(u"/usr/bin/python3"_s, {}), std::nullopt);
    EXPECT_EQ(entries.find(u"/usr/bin/unknown"_s, u"Unknown"_s), std::nullopt);
    // The user's entries hide the system's; hidden ones and actions do not count.
    EXPECT_EQ(entries.find(u"tool"_s, {})->name, u"My Tool");
    EXPECT_EQ(entries.find(u"gone"_s, {}), std::nullopt);
    EXPECT_EQ(entries.find(u"main-program"_s, {})->name, u"Main");
    EXPECT_EQ(entries.find(u"other"_s, {}), std::nullopt);

    // Terminals are known by their entry's category or their window class, and get their chords.
    const struct {
        const char* program;
        const char* windowClass;
        ClipboardChords chords;
    } cases[] = {
        {"vte-term", "Vte-term", ClipboardChords::controlShift}, // by its entry's category
        {"xterm", "XTerm", ClipboardChords::none}, // its entry says terminal, its class decides
        {"uxterm", "UXTerm", ClipboardChords::none},
        {"urxvt", "URxvt", ClipboardChords::none},
        {"st", "st-256color", ClipboardChords::controlShift}, // no entry, known class
        {"editor", "Editor", ClipboardChords::control},
        {"unknown", "", ClipboardChords::control},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const auto entry = entries.find(QString::fromLatin1(c.program), {});
        EXPECT_EQ(clipboardChordsFor(QString::fromLatin1(c.windowClass),
                                     entry && entry->terminalEmulator),
                  c.chords);
    }
    EXPECT_TRUE(entries.find(u"xterm"_s, {})->terminalEmulator);
    EXPECT_FALSE(entries.find(u"editor"_s, {})->terminalEmulator);

    // An application id is named by the entry of that id alone, the first folder's.
    write(sys, "nameless.desktop", "Exec=x\n");
    write(usr, "evil.desktop", "Name=Evil\n");
    const QStringList apps = {usr + u"/applications"_s, sys + u"/applications"_s};
    EXPECT_EQ(applicationName(u"org.example.Editor"_s, apps, u"pt"_s), u"Editor PT");
    EXPECT_EQ(applicationName(u"tool"_s, apps, u"C"_s), u"My Tool");
    EXPECT_EQ(applicationName(u"gone"_s, apps, u"C"_s), std::nullopt);
    EXPECT_EQ(applicationName(u"nameless"_s, apps, u"C"_s), std::nullopt);
    // An id holding a path reaches no file outside the folders.
    const QString outside = u"../../"_s + QDir(usr).dirName() + u"/applications/evil"_s;
    EXPECT_EQ(applicationName(outside, {apps[1]}, u"C"_s), std::nullopt);

    // By default, the user's applications folder (the test main's XDG_DATA_HOME) is searched.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    write(data, "test.ovra.Probe.desktop", "Name=Probe\n");
    EXPECT_EQ(applicationName(u"test.ovra.Probe"_s), u"Probe");
    QFile::remove(data + u"/applications/test.ovra.Probe.desktop"_s);
}

TEST(DesktopEntryFile, PicksTheMostSpecificNameForTheLocale) {
    const QString entry = QStringLiteral(
        "# comment\n[Desktop Entry]\nName=Files\nName[de]=Dateien\nName[pt_BR]=Arquivos\\sBR\n"
        "Name[sr]=sr\nName[sr@latin]=sr@latin\nName[sr_RS]=sr_RS\nName[sr_RS@latin]=sr_RS@latin\n"
        "Name[it]=\n[Desktop Action new]\nName[fr]=Nouveau\n");
    const struct {
        const char* locale;
        const char* name;
    } cases[] = {
        {"sr_RS.UTF-8@latin", "sr_RS@latin"},
        {"sr_RS@cyrillic", "sr_RS"},
        {"sr_ME@latin", "sr@latin"},
        {"sr_ME", "sr"},
        {"de_AT.UTF-8", "Dateien"},
        {"pt_BR", "Arquivos BR"}, // unescaped
        {"it_IT", "Files"},       // an empty translation is none
        {"fr_FR", "Files"},       // other groups do not count
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopEntryFile::parse(entry, QString::fromLatin1(c.locale)).name,
                  QString::fromUtf8(c.name))
            << c.locale;
}

} // namespace
} // namespace ovra::platform
