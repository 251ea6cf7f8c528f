#include "app/desktop_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryFile>
#include <cstdio>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

// Runs in KWin: optionally activates the window of one process, then reports every window.
// (KWin 5.27 scripts cannot return a value over D-Bus; they call back instead. Plasma 6 says
// "window" where Plasma 5 said "client".)
const char* const kwinScript = R"(
var wanted = %1, plasma6 = workspace.activeWindow !== undefined;
var clients = plasma6 ? workspace.windowList() : workspace.clientList();
for (var i = 0; i < clients.length; i++) {
    if (wanted && clients[i].pid === wanted) {
        if (plasma6) workspace.activeWindow = clients[i]; else workspace.activeClient = clients[i];
    }
}
var active = plasma6 ? workspace.activeWindow : workspace.activeClient, out = [];
for (var i = 0; i < clients.length; i++) {
    var c = clients[i], f = c.frameGeometry, b = c.bufferGeometry;
    out.push({pid: c.pid, caption: c.caption, active: c === active,
              frame: [f.x, f.y, f.width, f.height], surface: [b.x, b.y, b.width, b.height]});
}
callDBus("%2", "/", "app.ovra.E2eWindows", "Report", JSON.stringify(out));
)";

const QString e2eWindows = u"app.ovra.E2eWindows"_s;

QRect rectFrom(const QJsonValue& value) {
    const QJsonArray a = value.toArray();
    return a.size() == 4 ? QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()) : QRect();
}

// The compositors' answers in one JSON form: [{pid, caption, active, frame, surface}].
QList<CompositorWindow> windowsFrom(const QString& json) {
    QList<CompositorWindow> windows;
    const QJsonArray list = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue& entry : list) {
        const QJsonObject o = entry.toObject();
        windows.append({o.value(u"pid"_s).toInt(), o.value(u"caption"_s).toString(),
                        rectFrom(o.value(u"frame"_s)), rectFrom(o.value(u"surface"_s)),
                        o.value(u"active"_s).toBool()});
    }
    return windows;
}

} // namespace

KWinWindows::KWinWindows()
    : m_service(u"app.ovra.E2eWindows.p%1"_s.arg(QCoreApplication::applicationPid())) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_registered = bus.registerService(m_service) &&
                   bus.registerObject(u"/"_s, this, QDBusConnection::ExportScriptableSlots);
}

KWinWindows::~KWinWindows() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(u"/"_s);
    bus.unregisterService(m_service);
}

void KWinWindows::Report(const QString& json) {
    m_report = json;
}

std::optional<QList<CompositorWindow>> KWinWindows::run(qint32 activatePid) {
    if (!m_registered)
        return std::nullopt;
    QTemporaryFile script(QDir::tempPath() + u"/ovra-kwin-XXXXXX.js"_s);
    if (!script.open())
        return std::nullopt;
    script.write(QString::fromLatin1(kwinScript).arg(activatePid).arg(m_service).toUtf8());
    script.close();

    QDBusInterface scripting(u"org.kde.KWin"_s, u"/Scripting"_s, u"org.kde.kwin.Scripting"_s);
    const QString name = u"ovra-e2e-%1"_s.arg(++m_runs);
    m_report.reset();
    const QDBusReply<int> loaded = scripting.call(u"loadScript"_s, script.fileName(), name);
    if (!loaded.isValid() || loaded.value() < 0)
        return std::nullopt;
    // KWin 5.27 shows no object for a loaded script; start() runs whatever is loaded.
    scripting.call(u"start"_s);
    const bool answered = waitUntil([&] { return m_report.has_value(); }, 3s);
    scripting.call(u"unloadScript"_s, name);
    if (!answered)
        return std::nullopt;

    return windowsFrom(*m_report);
}

DesktopKind thisDesktop() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    return desktop == u"KDE"     ? DesktopKind::KWin
           : desktop == u"GNOME" ? DesktopKind::GnomeShell
                                 : DesktopKind::X11;
}

std::unique_ptr<CompositorWindows> CompositorWindows::ofThisDesktop() {
    if (thisDesktop() == DesktopKind::KWin)
        return std::make_unique<KWinWindows>();
    if (thisDesktop() == DesktopKind::GnomeShell)
        return std::make_unique<GnomeShellWindows>();
    return nullptr;
}

std::optional<QList<CompositorWindow>> KWinWindows::windows() {
    return run(0);
}

std::optional<CompositorWindow> CompositorWindows::windowOf(qint32 pid) {
    const auto all = windows();
    if (all)
        for (const CompositorWindow& window : *all)
            if (window.pid == pid)
                return window;
    return std::nullopt;
}

bool KWinWindows::activate(qint32 pid) {
    return waitUntil(
        [&] {
            const auto all = run(pid);
            if (all)
                for (const CompositorWindow& window : *all)
                    if (window.pid == pid && window.active)
                        return true;
            return false;
        },
        5s);
}

bool KWinWindows::pressProgramShortcut() {
    const QString service = u"org.kde.kglobalaccel"_s;
    QDBusInterface accel(service, u"/kglobalaccel"_s, u"org.kde.KGlobalAccel"_s);
    // The keys are bound to the program's action, not only the action registered.
    const QDBusReply<QStringList> bound =
        accel.call(u"action"_s, int(Qt::MetaModifier | Qt::AltModifier) | Qt::Key_T);
    if (!bound.isValid() || bound.value().mid(0, 2) != QStringList{u"ovra"_s, u"capture"_s})
        return false;
    const QDBusReply<QDBusObjectPath> component = accel.call(u"getComponent"_s, u"ovra"_s);
    return component.isValid() &&
           QDBusInterface(service, component.value().path(), u"org.kde.kglobalaccel.Component"_s)
                   .call(u"invokeShortcut"_s, u"capture"_s)
                   .type() != QDBusMessage::ErrorMessage;
}

namespace {
const QString remoteDesktop = u"org.gnome.Mutter.RemoteDesktop"_s;
constexpr quint32 shiftKeysym = 0xffe1;
} // namespace

GnomeShellWindows::GnomeShellWindows() {
    QDBusInterface service(remoteDesktop, u"/org/gnome/Mutter/RemoteDesktop"_s, remoteDesktop);
    const QDBusReply<QDBusObjectPath> session = service.call(u"CreateSession"_s);
    if (!session.isValid())
        return;
    QDBusInterface started(remoteDesktop, session.value().path(), remoteDesktop + u".Session"_s);
    if (started.call(u"Start"_s).type() != QDBusMessage::ErrorMessage)
        m_remoteSession = session.value().path();
}

GnomeShellWindows::~GnomeShellWindows() {
    if (!m_remoteSession.isEmpty())
        QDBusInterface(remoteDesktop, m_remoteSession, remoteDesktop + u".Session"_s)
            .call(u"Stop"_s);
}

bool GnomeShellWindows::pressKeys(const QList<quint32>& keysyms) {
    if (m_remoteSession.isEmpty())
        return false;
    QDBusInterface session(remoteDesktop, m_remoteSession, remoteDesktop + u".Session"_s);
    const auto send = [&](quint32 keysym, bool down) {
        return session.call(u"NotifyKeyboardKeysym"_s, keysym, down).type() !=
               QDBusMessage::ErrorMessage;
    };
    bool sent = true;
    for (quint32 keysym : keysyms)
        sent = send(keysym, true) && sent;
    for (auto key = keysyms.rbegin(); key != keysyms.rend(); ++key)
        sent = send(*key, false) && sent;
    return sent;
}

bool GnomeShellWindows::selectWordByKeys(const Accessible& text, const QString& word) {
    constexpr quint32 controlKey = 0xffe3, homeKey = 0xff50, rightKey = 0xff53;
    const QString all = textOf(text);
    const qsizetype at = all.indexOf(word);
    bool sent = at >= 0 && pressKeys({controlKey, homeKey});
    for (int i = graphemesIn(all.left(at)); sent && i > 0; --i)
        sent = pressKeys({rightKey});
    for (int i = graphemesIn(word); sent && i > 0; --i)
        sent = pressKeys({shiftKeysym, rightKey});
    return sent;
}

bool GnomeShellWindows::pressProgramShortcut() {
    constexpr quint32 superKey = 0xffeb, altKey = 0xffe9, tKey = 0x74;
    return pressKeys({superKey, altKey, tKey});
}

bool GnomeShellWindows::turnProgramExtension(bool on) {
    QDBusInterface shell(u"org.gnome.Shell"_s, u"/org/gnome/Shell"_s,
                         u"org.gnome.Shell.Extensions"_s);
    shell.setTimeout(30000); // a loaded headless shell may be slow to answer
    const QString uuid = u"ovra@ovra.app"_s;
    const auto helperOnBus = [] {
        const QDBusReply<bool> on = QDBusConnection::sessionBus().interface()->isServiceRegistered(
            u"app.ovra.Ovra.ShellHelper"_s);
        return on.isValid() && on.value();
    };
    const QDBusReply<bool> changed =
        shell.call(on ? u"EnableExtension"_s : u"DisableExtension"_s, uuid);
    return changed.isValid() && changed.value() &&
           waitUntil([&] { return helperOnBus() == on; }, 30s);
}

bool GnomeShellWindows::isReady() const {
    return !m_remoteSession.isEmpty() &&
           QDBusInterface(e2eWindows, u"/app/ovra/E2eWindows"_s, e2eWindows).isValid();
}

std::optional<QList<CompositorWindow>> GnomeShellWindows::windows() {
    QDBusInterface shell(e2eWindows, u"/app/ovra/E2eWindows"_s, e2eWindows);
    const QDBusReply<QString> list = shell.call(u"ListWindows"_s);
    return list.isValid() ? std::optional(windowsFrom(list.value())) : std::nullopt;
}

bool GnomeShellWindows::activate(qint32 pid) {
    QDBusInterface shell(e2eWindows, u"/app/ovra/E2eWindows"_s, e2eWindows);
    return waitUntil(
               [&] {
                   const auto window = windowOf(pid);
                   if (window && window->active)
                       return true;
                   shell.call(u"Activate"_s, pid);
                   return false;
               },
               5s) &&
           pressKeys({shiftKeysym});
}

namespace {
struct Shared {
    std::unique_ptr<CompositorWindows> compositor = CompositorWindows::ofThisDesktop();
    FakeChatService chat{translation};
    std::unique_ptr<OvraProcess> ovra;
};
Shared* shared = nullptr;
} // namespace

void DesktopSession::SetUpTestSuite() {
    shared = new Shared;
}

void DesktopSession::TearDownTestSuite() {
    delete shared;
    shared = nullptr;
}

void DesktopSession::SetUp() {
    ASSERT_NE(shared, nullptr);
    if (thisDesktop() != DesktopKind::X11) {
        ASSERT_TRUE(compositor() && compositor()->isReady())
            << "no word from the compositor: run this through tests/e2e/run-wayland.sh";
        startProgram();
    } else if (!shared->ovra) {
        startProgram();
    } else {
        ASSERT_TRUE(ovra().isRunning()) << "the program has stopped";
        if (ovra().panelFrame())
            dismissPanel();
    }
}

void DesktopSession::TearDown() {
    if (!shared->ovra || thisDesktop() == DesktopKind::X11)
        return;
    if (HasFailure())
        std::fprintf(stderr, "the program %s; its log:\n%s", ovra().isRunning() ? "runs" : "ended",
                     qPrintable(ovra().errorOutput()));
    // Ended the program's own way, which takes its script out of KWin.
    ovra().runAgain({u"--quit"_s});
    EXPECT_TRUE(ovra().waitForExit(5s)) << "--quit did not end the program; its log:\n"
                                        << qPrintable(ovra().errorOutput());
    shared->ovra.reset();
}

CompositorWindows* DesktopSession::compositor() {
    return shared->compositor.get();
}

FakeChatService& DesktopSession::chat() {
    return shared->chat;
}

OvraProcess& DesktopSession::ovra() {
    return *shared->ovra;
}

OvraProcess::Options DesktopSession::programOptions() {
    OvraProcess::Options options{chat().baseURL(), {ignoredID}};
    // On Wayland the program is an X11 client all the same: the session's own default is what
    // picks XWayland.
    if (thisDesktop() != DesktopKind::X11)
        options.environment = {u"QT_QPA_PLATFORM="_s, u"QT_LOGGING_RULES=ovra.*=true"_s};
    return options;
}

void DesktopSession::startProgram() {
    shared->ovra = std::make_unique<OvraProcess>(programOptions());
    ASSERT_TRUE(ovra().start()) << "the program did not come up on the accessibility bus";
    // KWin 5.27 runs a loaded script a moment later; the program's was seen never to run more
    // often when this suite loaded scripts of its own meanwhile. KWin is left alone a while.
    if (thisDesktop() == DesktopKind::KWin)
        waitUntil([] { return false; }, 2s);
}

void DesktopSession::killProgram() {
    shared->ovra.reset();
}

bool DesktopSession::activate(TargetApp& app) {
    if (!compositor())
        return app.activate();
    // GTK drops a selection made while its window does not have the keyboard. A window that has
    // just been mapped may miss its first activation: it is asked again.
    const Accessible text = textViewOf(app.pid());
    return text && waitUntil(
                       [&] {
                           return compositor()->activate(app.pid()) &&
                                  waitUntil([&] { return isFocused(text); }, 1s);
                       },
                       5s);
}

bool DesktopSession::isActive(TargetApp& app) {
    if (!compositor())
        return activeWindow() == app.windowId();
    const auto window = compositor()->windowOf(app.pid());
    return window && window->active;
}

AccessibleElement DesktopSession::focusedText(qint32 pid) {
    return focusedElementOf(desktopAccessibility(), pid);
}

std::optional<std::pair<QRectF, TextRange>>
DesktopSession::wordBounds(const AccessibleElement& element, const QString& word) {
    auto& ax = desktopAccessibility();
    const auto text = ax.value(element);
    if (!text.ok() || text.value.indexOf(word) < 0)
        return std::nullopt;
    const TextRange range{text.value.indexOf(word), word.size()};
    const auto bounds = ax.boundsForRange(element, range);
    if (!bounds.ok())
        return std::nullopt;
    return std::make_pair(bounds.value, range);
}

bool DesktopSession::drag(const AccessibleElement& element, const TextRange& range) {
    auto& ax = desktopAccessibility();
    const auto first = ax.boundsForRange(element, {range.location, 1});
    const auto last = ax.boundsForRange(element, {range.location + range.length - 1, 1});
    return first.ok() && last.ok() && dragAcross(first.value, last.value);
}

QString DesktopSession::selectedIn(const AccessibleElement& element) {
    const auto text = desktopAccessibility().selectedText(element);
    return text.ok() ? text.value : QString();
}

QString DesktopSession::textIn(const AccessibleElement& element) {
    const auto text = desktopAccessibility().value(element);
    return text.ok() ? text.value : QString();
}

std::optional<QRectF> DesktopSession::selectIn(const AccessibleElement& element,
                                               const QString& word, bool byKeys) {
    // A press inside an existing selection would start dragging it instead of selecting.
    xdotool(u"key ctrl+Home"_s);
    const QString text = textIn(element);
    const qsizetype at = text.indexOf(word);
    const auto bounds = byKeys ? std::nullopt : wordBounds(element, word);
    const bool selecting =
        byKeys ? at >= 0 && selectByKeys(graphemesIn(text.left(at)), graphemesIn(word))
               : bounds && drag(element, bounds->second);
    if (!selecting || !waitUntil([&] { return selectedIn(element) == word; })) {
        std::fprintf(stderr, "selecting %s selected \"%s\"\n", qPrintable(word),
                     qPrintable(selectedIn(element)));
        return std::nullopt;
    }
    return bounds ? bounds->first : QRectF();
}

void DesktopSession::selectWord(TargetApp& app, const QString& word, QRectF* onScreen) {
    ASSERT_TRUE(activate(app)) << qPrintable(app.title()) << " did not take the keyboard";
    if (!compositor()) {
        const AccessibleElement element = focusedText(app.pid());
        ASSERT_FALSE(element.isNull());
        const auto bounds = selectIn(element, word);
        ASSERT_TRUE(bounds) << "dragging over " << qPrintable(word) << " did not select it";
        *onScreen = *bounds;
        return;
    }
    const Accessible text = textViewOf(app.pid());
    // GTK 4 takes no selection over the accessibility bus: GNOME's keyboard makes it.
    auto* gnome = dynamic_cast<GnomeShellWindows*>(compositor());
    ASSERT_TRUE(e2e::selectWord(text, word) || (gnome && gnome->selectWordByKeys(text, word)));
    ASSERT_TRUE(waitUntil([&] { return selectedTextOf(text) == word; }, 2s));
    waitUntil([] { return false; }, 150ms);
    ASSERT_EQ(selectedTextOf(text), word) << "the selection did not hold";

    const auto window = compositor()->windowOf(app.pid());
    ASSERT_TRUE(window) << "the compositor does not know the window";
    const auto box = wordBoxInWindow(text, word);
    ASSERT_TRUE(box);
    // A toolkit that draws its own shadow (GTK) counts from the visible frame; one that draws
    // its own title bar (Qt on GNOME) from below it, inside the border it draws around: its
    // top level is smaller than the surface.
    QPoint origin = window->surface.topLeft();
    const auto own = toplevelSizeOf(text);
    if (own && *own == window->frame.size()) {
        origin = window->frame.topLeft();
    } else if (own && own->width() <= window->surface.width() &&
               own->height() <= window->surface.height()) {
        const int side = (window->surface.width() - own->width()) / 2;
        origin += QPoint(side, window->surface.height() - own->height() - side);
    }
    *onScreen = box->translated(origin);
    ASSERT_TRUE(window->surface.contains(onScreen->toRect()))
        << "the word is not inside its window: the geometry read is wrong";
}

void DesktopSession::selectForPanel(TargetApp& app, const QString& word, QRectF* onScreen) {
    const bool shown = waitUntil(
        [&] {
            clearSelectionOf(textViewOf(app.pid()));
            selectWord(app, word, onScreen);
            return HasFatalFailure() || ovra().waitForPanel(1500ms);
        },
        10s);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(shown) << "no panel after a selection; the program shows:\n"
                       << ovra().describePanel().toStdString();
}

bool DesktopSession::pressShortcut() {
    if (compositor())
        return compositor()->pressProgramShortcut();
    return xdotool(u"key alt+super+t"_s);
}

bool DesktopSession::panelStaysAway(std::chrono::milliseconds wait) {
    return !waitUntil([&] { return ovra().panelFrame().has_value(); }, wait);
}

void DesktopSession::expectPanelBeside(const QRectF& selection) {
    QString why;
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto frame = ovra().panelFrame();
            return frame && placedBeside(*frame, selection,
                                         QGuiApplication::primaryScreen()->geometry(), &why);
        },
        2s))
        << why.toStdString();
}

bool DesktopSession::press(const QString& name) {
    std::optional<QPoint> centre;
    waitUntil([&] { return (centre = ovra().elementCentre(u"push button"_s, name)).has_value(); },
              3s);
    return centre && clickAt(*centre);
}

void DesktopSession::dismissPanel() {
    ASSERT_TRUE(xdotool(u"key Escape"_s));
    ASSERT_TRUE(ovra().waitForNoPanel(2s)) << "Escape did not dismiss the panel";
}

void DesktopSession::translateInPanel(const QString& selected) {
    const std::size_t before = chat().requests().size();
    ASSERT_TRUE(press(u"Traduzir"_s)) << "no \"Traduzir\" button in the panel";
    ASSERT_TRUE(waitUntil([&] { return ovra().hasElement(u"label"_s, translation); }, 10s))
        << "the panel does not show the service's translation; it shows:\n"
        << ovra().describePanel().toStdString() << "requests: " << chat().requests().size();
    const auto requests = chat().requests();
    ASSERT_EQ(requests.size(), before + 1);
    const auto& request = requests.back();
    EXPECT_EQ(request.header("Authorization"), "Bearer test-key");
    const QJsonObject body =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
    EXPECT_EQ(body.value(u"model"_s).toString(), u"fake");
    const QJsonArray messages = body.value(u"messages"_s).toArray();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.last().toObject().value(u"content"_s).toString(), selected);
    EXPECT_TRUE(ovra().panelFrame().has_value()) << "the panel did not stay up";
}

void DesktopSession::replaceInPanel(TargetApp& app, const QString& word) {
    const QString before = app.reportedText();
    ASSERT_TRUE(before.contains(word));
    QString expected = before;
    expected.replace(before.indexOf(word), word.size(), translation);

    ASSERT_TRUE(press(u"Substituir"_s)) << "no \"Substituir\" button";
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
        << "the application holds: " << app.reportedText().toStdString();
    const Accessible text = textViewOf(app.pid());
    EXPECT_EQ(textOf(text), expected) << "read back over the accessibility bus";
    // The panel confirms, then hides by itself: on Wayland too, where the application answers the
    // write with selection reports that must not be taken for the user's.
    EXPECT_TRUE(waitUntil([&] { return ovra().hasElement(u"label"_s, u"Substituído ✓"_s); }, 2s))
        << "the panel did not confirm the replacement";
    shoot(u"replaced"_s);
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";

    // Back to the original text for the tests that follow.
    ASSERT_TRUE(setTextOf(text, before));
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == before; }));
}

void DesktopSession::shoot(const QString& step) {
    static int taken = 0;
    const QString folder = qEnvironmentVariable("OVRA_E2E_SCREENSHOTS");
    if (!folder.isEmpty())
        saveScreenshot(
            u"%1/%2-%3.png"_s.arg(folder).arg(++taken, 2, 10, QLatin1Char('0')).arg(step));
}

} // namespace ovra::e2e
