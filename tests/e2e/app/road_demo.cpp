// Shows the road of one selection on a private desktop and keeps a screenshot of every step:
// the GTK application, a mouse selection with the panel beside it, the translation, and the
// replacement written back. Run inside tests/e2e/run-headless.sh; usage: ovra_road_demo FOLDER
//
// The translation comes from a stand-in chat-completions service on 127.0.0.1 set up as the
// program's custom AI provider, so the demonstration needs neither a network nor a key.
#include "app/ovra_app.h"
#include "platform/desktop_fixture.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace ovra::e2e {
void releaseDesktop();
}

namespace {

using namespace ovra;
using namespace ovra::e2e;

void say(const QString& text) {
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

int failed(const QString& step) {
    std::fputs(qPrintable(QStringLiteral("demo: ") + step + u'\n'), stderr);
    return 1;
}

int runDemo(const QString& folder) {
    const QString reply = QStringLiteral("ingênuo 👍");
    FakeChatService chat(reply);
    OvraProcess ovra({chat.baseURL(), {}});
    QDir().mkpath(folder);
    int step = 0;
    const auto shoot = [&](const QString& name, const QString& what) {
        const QString path = QDir(folder).filePath(
            QStringLiteral("%1-%2.png").arg(++step, 2, 10, QLatin1Char('0')).arg(name));
        const bool saved = saveScreenshot(path);
        say(QStringLiteral("%1. %2 -> %3")
                .arg(step)
                .arg(what, saved ? path : QStringLiteral("(no screenshot)")));
        return saved;
    };

    say(QStringLiteral("Starting Ovra with private settings (AI translation through a stand-in "
                       "service on 127.0.0.1:%1)…")
            .arg(chat.port()));
    if (!ovra.start())
        return failed(QStringLiteral("Ovra did not start"));
    TargetApp& app = gtkTarget();
    if (!app.activate())
        return failed(QStringLiteral("the GTK application did not come up"));
    shoot(QStringLiteral("application"), QStringLiteral("A GTK application with editable text"));

    auto& ax = desktopAccessibility();
    const AccessibleElement element = focusedElementOf(ax, app.pid());
    const auto text = ax.value(element);
    const QString word = QStringLiteral("naïve");
    if (element.isNull() || !text.ok() || text.value.indexOf(word) < 0)
        return failed(QStringLiteral("the application's text is not readable"));
    const TextRange range{text.value.indexOf(word), word.size()};
    const auto first = ax.boundsForRange(element, {range.location, 1});
    const auto last = ax.boundsForRange(element, {range.location + range.length - 1, 1});
    if (!first.ok() || !last.ok())
        return failed(QStringLiteral("the word has no place on screen"));

    // Ovra starts its monitors just after it appears; a first gesture may come too early.
    const bool shown = waitUntil(
        [&] {
            xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
            return dragAcross(first.value, last.value) && ovra.waitForPanel(1500ms);
        },
        10s);
    if (!shown)
        return failed(QStringLiteral("no panel appeared after selecting \"naïve\" with the mouse"));
    waitUntil(
        [&] { return ovra.hasElement(QStringLiteral("push button"), QStringLiteral("Traduzir")); },
        2s);
    shoot(QStringLiteral("selection-panel"),
          QStringLiteral("\"naïve\" selected with the mouse; the panel beside it"));

    const auto translate =
        ovra.elementCentre(QStringLiteral("push button"), QStringLiteral("Traduzir"));
    if (!translate || !clickAt(*translate))
        return failed(QStringLiteral("no \"Traduzir\" button"));
    if (!waitUntil([&] { return ovra.hasElement(QStringLiteral("label"), reply); }, 10s))
        return failed(QStringLiteral("the translation did not appear"));
    // The panel grows with the result and moves in a short animation; let it come to rest.
    std::optional<QRect> previous;
    waitUntil(
        [&] {
            const auto now = ovra.panelFrame();
            const bool still = now && now == previous;
            previous = now;
            return still;
        },
        1s);
    shoot(QStringLiteral("translation"), QStringLiteral("\"Traduzir\" pressed: the translation"));

    const auto replace =
        ovra.elementCentre(QStringLiteral("push button"), QStringLiteral("Substituir"));
    if (!replace || !clickAt(*replace))
        return failed(QStringLiteral("no \"Substituir\" button"));
    QString expected = text.value;
    expected.replace(range.location, range.length, reply);
    if (!waitUntil([&] { return app.reportedText() == expected; }, 5s))
        return failed(QStringLiteral("the replacement did not reach the application"));
    waitUntil(
        [&] { return ovra.hasElement(QStringLiteral("label"), QStringLiteral("Substituído ✓")); },
        1s);
    shoot(QStringLiteral("replaced"), QStringLiteral("\"Substituir\" pressed: the text replaced"));
    ovra.waitForNoPanel(3s);
    shoot(QStringLiteral("done"), QStringLiteral("The panel hid by itself"));
    say(QStringLiteral("The application now holds: ") + app.reportedText().section(u'\n', 0, 0));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fputs("usage: ovra_road_demo FOLDER (inside tests/e2e/run-headless.sh)\n", stderr);
        return 2;
    }
    const int status = runDemo(arguments.at(1));
    releaseDesktop();
    return status;
}
