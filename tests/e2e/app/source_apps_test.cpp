// The real program beside applications that are not plain text editors: terminals (which must
// never receive Ctrl+C), and a desktop without a compositing manager, which must not get a black
// frame.
#include "app/desktop_session.h"
#include "panel/widgets/panel_view.h"
#include "platform/desktop_fixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

// A process started for one test and stopped at its end.
struct OwnProcess : QProcess {
    OwnProcess(const QString& program, const QStringList& arguments) {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(program, arguments);
        waitForStarted(5000);
    }
    ~OwnProcess() override { stopProcess(*this); }
};

// A terminal running a shell that records every interrupt it gets.
struct TerminalCase {
    const char* program;
    const char* titleOption;
};

class Terminals : public DesktopSession, public ::testing::WithParamInterface<TerminalCase> {};

TEST_P(Terminals, TheShortcutNeverInterruptsTheRunningProgram) {
    const TerminalCase& terminal = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString interrupts = dir.filePath(u"interrupts"_s);
    const QString script = dir.filePath(u"trap.sh"_s);
    ASSERT_TRUE(
        writeFile(script, "#!/bin/bash\ntrap 'echo INT >> \"" + interrupts.toUtf8() +
                              "\"' INT\necho ready word here\nwhile :; do sleep 0.05; done\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString title = u"Terminal "_s + QString::fromLatin1(terminal.program);
    OwnProcess process(QString::fromLatin1(terminal.program),
                       {QString::fromLatin1(terminal.titleOption), title, u"-e"_s, script});
    QString window;
    waitUntil([&] { return !(window = visibleWindowOf(process.processId(), title)).isEmpty(); },
              15s);
    ASSERT_FALSE(window.isEmpty()) << terminal.program << " showed no window";
    ASSERT_TRUE(activateWindow(window));
    waitUntil([] { return false; }, 300ms); // the shell reaches its loop

    // Nothing selected in the terminal: the shortcut may copy, but must not interrupt.
    ASSERT_TRUE(pressShortcut());
    waitUntil([&] { return QFile::exists(interrupts); }, 2s);
    EXPECT_FALSE(QFile::exists(interrupts)) << "the shortcut sent an interrupt to the program";
    EXPECT_FALSE(ovra().panelFrame()) << "a panel came without a selection";
    // A word the terminal selected (its PRIMARY) is what the shortcut translates.
    const QPoint corner = clientGeometry(window).topLeft();
    ASSERT_TRUE(
        xdotool(u"mousemove %1 %2 click --repeat 2 1"_s.arg(corner.x() + 12).arg(corner.y() + 8)));
    waitUntil([] { return false; }, noPanelWait); // the capture after the double-click
    if (ovra().panelFrame())
        dismissPanel();
    ASSERT_TRUE(pressShortcut());
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "the terminal's selected word showed no panel";
    EXPECT_FALSE(QFile::exists(interrupts)) << "the shortcut sent an interrupt to the program";

    // The trap itself works: a real Ctrl+C is recorded.
    dismissPanel();
    ASSERT_TRUE(activateWindow(window));
    ASSERT_TRUE(xdotool(u"key ctrl+c"_s));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(interrupts); }, 3s))
        << "the program's interrupt trap recorded nothing; the test proves nothing";
}

INSTANTIATE_TEST_SUITE_P(XtermAndVte, Terminals,
                         ::testing::Values(TerminalCase{"xterm", "-T"},
                                           TerminalCase{"sakura", "-t"}),
                         [](const auto& info) { return std::string(info.param.program); });

TEST_F(DesktopSession, WithoutACompositorThePanelIsOpaqueAndFollowsOneStartingAndStopping) {
    ASSERT_TRUE(gtkTarget().activate() && selectByKeys(0, 3) && ovra().waitForPanel(3s));
    // The headless desktop runs openbox alone: no compositing manager, no shadow margin.
    auto window = ovra().panelWindowGeometry();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->width(), PanelView::panelWidth);
    const QString shot = QCoreApplication::applicationDirPath() + u"/panel_no_compositor.png";
    ASSERT_TRUE(saveScreenshot(shot));
    const QImage screen(shot);
    for (const QPoint corner :
         {window->topLeft() + QPoint(1, 1), window->topRight() + QPoint(-1, 1),
          window->bottomLeft() + QPoint(1, -1)}) {
        const QRgb pixel = screen.pixel(corner);
        EXPECT_GT(qRed(pixel) + qGreen(pixel) + qBlue(pixel), 60)
            << "black at " << corner.x() << "," << corner.y() << " (" << shot.toStdString() << ")";
    }

    // A compositor starting gives the shadow's margin back (cut where it meets the screen's
    // edge); stopping takes it away again.
    {
        OwnProcess compositor(u"xcompmgr"_s, {});
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto now = ovra().panelWindowGeometry();
                return now && now->width() > PanelView::panelWidth &&
                       now->width() <= PanelView::panelWidth + 28;
            },
            3s))
            << "the panel did not take its shadow margin under a compositor";
    }
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto now = ovra().panelWindowGeometry();
            return now && now->width() == PanelView::panelWidth;
        },
        3s))
        << "the panel kept its shadow margin after the compositor stopped";
}

// The program at a device-pixel ratio of 2: the selection (device pixels from AT-SPI) and the
// panel (device pixels from X11) still keep the placement rule, counted in the program's logical
// pixels. (Qt's factor and the X resources' DPI give the program the same ratio.)
TEST(ScaledDisplay, ThePanelIsPlacedBesideTheSelection) {
    FakeChatService chat{u"traduzido"_s};
    OvraProcess ovra({chat.baseURL(), {}, {}, u"test-key"_s, {u"QT_SCALE_FACTOR=2"_s}});
    ASSERT_TRUE(ovra.start()) << "the program did not come up on the accessibility bus";

    TargetApp& app = gtkTarget();
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    const AccessibleElement element = waitForSelection(app, u"naïve"_s);
    ASSERT_FALSE(element.isNull());
    // This test process runs at ratio 1: its accessibility answers in device pixels.
    const auto range = desktopAccessibility().selectedTextRange(element);
    ASSERT_TRUE(range.ok());
    const auto bounds = desktopAccessibility().boundsForRange(element, range.value);
    ASSERT_TRUE(bounds.ok());
    ASSERT_TRUE(ovra.waitForPanel(3s)) << "no panel at ratio 2";

    const auto logical = [](const QRectF& device) {
        return QRectF(device.topLeft() / 2, device.size() / 2);
    };
    QString why;
    const bool placed = waitUntil(
        [&] {
            const auto frame = ovra.panelFrame();
            return frame && frame->width() == PanelView::panelWidth * 2 &&
                   placedBeside(logical(*frame).toRect(), logical(bounds.value),
                                QRect(0, 0, 640, 512), &why);
        },
        3s);
    EXPECT_TRUE(placed) << why.toStdString();
    xdotool(u"key Escape"_s);
    ovra.waitForNoPanel();
}

} // namespace
} // namespace ovra::e2e
