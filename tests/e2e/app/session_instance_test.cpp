// One Ovra per session, reached from the command line: a second start hands its request to the
// running program over the session bus and ends; --capture works as a window-manager binding;
// --quit ends the program. The program runs with every diagnostics category on throughout, and
// what it wrote must hold neither the selection, nor the key, nor the answer.
#include "app/desktop_session.h"
#include "platform/desktop_fixture.h"

#include <cstdio>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

const QString selection = u"ALVO"_s; // in the second line of the targets' text
constexpr int selectionKeystrokesIn = 56;
const QString apiKey = u"sk-e2e-9f8e7d6c5b4a39281706"_s;
const QString answer = u"Resposta-Reservada-731"_s;

class SessionInstance : public DesktopSession {
protected:
    static void SetUpTestSuite() {
        DesktopSession::SetUpTestSuite();
        chat().setReply(answer);
    }
    OvraProcess::Options programOptions() override {
        OvraProcess::Options options = DesktopSession::programOptions();
        options.apiKey = apiKey;
        options.environment = {u"QT_LOGGING_RULES=ovra.*=true"_s};
        return options;
    }

    // Another start in the same session: it must end by itself, successfully.
    void startAgain(const QStringList& arguments) {
        const ToolResult run = ovra().runAgain(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    }

    // The program's preferences window while it is shown.
    QString preferences() { return visibleWindowOf(ovra().pid(), u"Prefer"_s); }
};

TEST_F(SessionInstance, ASecondPlainStartOpensThePreferencesOfTheFirst) {
    ASSERT_TRUE(preferences().isEmpty());
    startAgain({});
    QString window;
    ASSERT_TRUE(waitUntil([&] { return !(window = preferences()).isEmpty(); }))
        << "the running program opened no preferences window";
    EXPECT_TRUE(ovra().isRunning());
    // Out of the way of the selections that follow.
    xdotool(u"windowactivate --sync %1 key Escape"_s.arg(window));
    EXPECT_TRUE(waitUntil([&] { return preferences().isEmpty(); }));
}

TEST_F(SessionInstance, CaptureFromTheCommandLineShowsThePanelForTheSelection) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(app.activate());
    // A keyboard selection shows the panel by itself; the answer comes from the service.
    ASSERT_TRUE(selectByKeys(selectionKeystrokesIn, int(selection.size())));
    ASSERT_FALSE(waitForSelection(app, selection).isNull());
    ASSERT_TRUE(ovra().waitForPanel()) << "no panel for the keyboard selection";
    ASSERT_TRUE(press(u"Traduzir"_s));
    ASSERT_TRUE(waitUntil([&] { return ovra().hasElement(u"label"_s, answer); }, 10s))
        << ovra().describePanel().toStdString();

    // Closed on this selection, the panel stays away until it is asked for again.
    dismissPanel();
    ASSERT_TRUE(app.activate());
    startAgain({u"--capture"_s});
    EXPECT_TRUE(ovra().waitForPanel()) << "--capture brought no panel";
    dismissPanel();

    // An action by its name: the panel comes with the summary under way.
    ASSERT_TRUE(app.activate());
    startAgain({u"--action"_s, u"summarize"_s});
    EXPECT_TRUE(waitUntil([&] { return ovra().hasElement(u"label"_s, answer); }, 10s))
        << "--action summarize showed no summary:\n"
        << ovra().describePanel().toStdString();
    dismissPanel();
}

TEST_F(SessionInstance, QuitEndsTheProgramAndItsDiagnosticsKeepTheSecrets) {
    startAgain({u"--quit"_s});
    EXPECT_EQ(ovra().waitForExit(5s), std::optional<int>(0));
    // With nothing running there is nothing to quit, and nothing is started.
    startAgain({u"--quit"_s});

    const QString log = ovra().errorOutput();
    for (const char* category :
         {"ovra.capture: ", "ovra.engines: ", "ovra.panel: ", "ovra.platform."})
        EXPECT_TRUE(log.contains(QLatin1String(category))) << "nothing from " << category;
    EXPECT_FALSE(log.contains(selection)) << "the selection is in the log";
    EXPECT_FALSE(log.contains(apiKey.mid(6))) << "the key is in the log";
    EXPECT_FALSE(log.contains(answer)) << "the answer is in the log";
    if (HasFailure())
        std::fprintf(stderr, "%s\n", qPrintable(log));
}

TEST(CommandLine, MistakesAndQuestionsNeedNoRunningProgram) {
    const ToolResult mistake = runTool(QStringLiteral(OVRA_EXECUTABLE), {u"--frobnicate"_s});
    EXPECT_EQ(mistake.exitCode, 2);
    EXPECT_TRUE(mistake.errors.contains(u"Unknown option 'frobnicate'"));
    const ToolResult version = runTool(QStringLiteral(OVRA_EXECUTABLE), {u"--version"_s});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.output.startsWith(u"ovra "));
}

} // namespace
} // namespace ovra::e2e
