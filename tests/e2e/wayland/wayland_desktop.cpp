// atspi.h first: its GLib headers use names that Qt's keywords would take.
#include <atspi/atspi.h>

#include "wayland/wayland_desktop.h"

#include "support/e2e_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryFile>
#include <QTextBoundaryFinder>

namespace ovra::e2e {

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

const QString e2eWindows = QStringLiteral("app.ovra.E2eWindows");

// The compositors' answers in one JSON form: [{pid, caption, active, frame, surface}].
QList<CompositorWindow> windowsFrom(const QString& json);

QRect rectFrom(const QJsonValue& value) {
    const QJsonArray a = value.toArray();
    return a.size() == 4 ? QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()) : QRect();
}

QString takeString(gchar* text) {
    const QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

bool hasStates(AtspiAccessible* object, std::initializer_list<AtspiStateType> wanted) {
    AtspiStateSet* states = atspi_accessible_get_state_set(object);
    if (!states)
        return false;
    bool all = true;
    for (const AtspiStateType state : wanted)
        all = all && atspi_state_set_contains(states, state);
    g_object_unref(states);
    return all;
}

Accessible applicationOf(qint32 pid) {
    const Accessible desktop(atspi_get_desktop(0));
    const int count = atspi_accessible_get_child_count(desktop.get(), nullptr);
    for (int i = 0; i < count; ++i) {
        Accessible child(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
        if (child && qint32(atspi_accessible_get_process_id(child.get(), nullptr)) == pid)
            return child;
    }
    return Accessible();
}

Accessible findTextView(const Accessible& element, int depth) {
    if (!element || depth > 30)
        return Accessible();
    if (hasStates(element.get(), {ATSPI_STATE_EDITABLE, ATSPI_STATE_MULTI_LINE})) {
        AtspiText* text = atspi_accessible_get_text_iface(element.get());
        if (text) {
            g_object_unref(text);
            return element;
        }
    }
    const int count = atspi_accessible_get_child_count(element.get(), nullptr);
    for (int i = 0; i < count && i < 200; ++i) {
        Accessible found = findTextView(
            Accessible(atspi_accessible_get_child_at_index(element.get(), i, nullptr)), depth + 1);
        if (found)
            return found;
    }
    return Accessible();
}

// The offsets of the first `word` in `text`, as the application counts them: code points (GTK)
// or UTF-16 units (Qt's bridge); the pair that reads back the word.
std::optional<std::pair<int, int>> wordOffsets(const Accessible& text, const QString& word) {
    const QString all = textOf(text);
    const qsizetype at = all.indexOf(word);
    AtspiText* iface = at >= 0 ? atspi_accessible_get_text_iface(text.get()) : nullptr;
    if (!iface)
        return std::nullopt;
    const int points = int(all.left(at).toUcs4().size());
    const std::pair<int, int> candidates[] = {{points, points + int(word.toUcs4().size())},
                                              {int(at), int(at + word.size())}};
    std::optional<std::pair<int, int>> found;
    for (const auto& [start, end] : candidates) {
        if (takeString(atspi_text_get_text(iface, start, end, nullptr)) == word) {
            found = std::make_pair(start, end);
            break;
        }
    }
    g_object_unref(iface);
    return found;
}

} // namespace

KWinWindows::KWinWindows()
    : m_service(QStringLiteral("app.ovra.E2eWindows.p%1").arg(QCoreApplication::applicationPid())) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_registered =
        bus.registerService(m_service) &&
        bus.registerObject(QStringLiteral("/"), this, QDBusConnection::ExportScriptableSlots);
}

KWinWindows::~KWinWindows() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QStringLiteral("/"));
    bus.unregisterService(m_service);
}

void KWinWindows::Report(const QString& json) {
    m_report = json;
}

std::optional<QList<CompositorWindow>> KWinWindows::run(qint32 activatePid) {
    if (!m_registered)
        return std::nullopt;
    QTemporaryFile script(QDir::tempPath() + QStringLiteral("/ovra-kwin-XXXXXX.js"));
    if (!script.open())
        return std::nullopt;
    script.write(QString::fromLatin1(kwinScript).arg(activatePid).arg(m_service).toUtf8());
    script.close();

    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"));
    const QString name = QStringLiteral("ovra-e2e-%1").arg(++m_runs);
    m_report.reset();
    const QDBusReply<int> loaded =
        scripting.call(QStringLiteral("loadScript"), script.fileName(), name);
    if (!loaded.isValid() || loaded.value() < 0)
        return std::nullopt;
    // KWin 5.27 shows no object for a loaded script; start() runs whatever is loaded.
    scripting.call(QStringLiteral("start"));
    const bool answered = waitUntil([&] { return m_report.has_value(); }, 3s);
    scripting.call(QStringLiteral("unloadScript"), name);
    if (!answered)
        return std::nullopt;

    return windowsFrom(*m_report);
}

namespace {
QList<CompositorWindow> windowsFrom(const QString& json) {
    QList<CompositorWindow> windows;
    const QJsonArray list = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue& entry : list) {
        const QJsonObject o = entry.toObject();
        windows.append({o.value(QStringLiteral("pid")).toInt(),
                        o.value(QStringLiteral("caption")).toString(),
                        rectFrom(o.value(QStringLiteral("frame"))),
                        rectFrom(o.value(QStringLiteral("surface"))),
                        o.value(QStringLiteral("active")).toBool()});
    }
    return windows;
}
} // namespace

std::unique_ptr<CompositorWindows> CompositorWindows::ofThisDesktop() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop == u"KDE")
        return std::make_unique<KWinWindows>();
    if (desktop == u"GNOME")
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
    const QString service = QStringLiteral("org.kde.kglobalaccel");
    QDBusInterface accel(service, QStringLiteral("/kglobalaccel"),
                         QStringLiteral("org.kde.KGlobalAccel"));
    const QStringList action{QStringLiteral("ovra"), QStringLiteral("capture"), QString(),
                             QString()};
    const int superAltT = int(Qt::MetaModifier | Qt::AltModifier) | Qt::Key_T;
    // The keys are bound to the program's action, not only the action registered.
    const QDBusReply<QStringList> bound = accel.call(QStringLiteral("action"), superAltT);
    if (!bound.isValid() || bound.value().size() < 2 || bound.value()[0] != action[0] ||
        bound.value()[1] != action[1])
        return false;
    const QDBusReply<QDBusObjectPath> component =
        accel.call(QStringLiteral("getComponent"), action[0]);
    if (!component.isValid())
        return false;
    QDBusInterface program(service, component.value().path(),
                           QStringLiteral("org.kde.kglobalaccel.Component"));
    return program.call(QStringLiteral("invokeShortcut"), action[1]).type() !=
           QDBusMessage::ErrorMessage;
}

namespace {
const QString remoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
constexpr quint32 shiftKeysym = 0xffe1;
} // namespace

GnomeShellWindows::GnomeShellWindows() {
    QDBusInterface service(remoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                           remoteDesktop);
    const QDBusReply<QDBusObjectPath> session = service.call(QStringLiteral("CreateSession"));
    if (!session.isValid())
        return;
    QDBusInterface started(remoteDesktop, session.value().path(),
                           remoteDesktop + QStringLiteral(".Session"));
    if (started.call(QStringLiteral("Start")).type() != QDBusMessage::ErrorMessage)
        m_remoteSession = session.value().path();
}

GnomeShellWindows::~GnomeShellWindows() {
    if (!m_remoteSession.isEmpty())
        QDBusInterface(remoteDesktop, m_remoteSession, remoteDesktop + QStringLiteral(".Session"))
            .call(QStringLiteral("Stop"));
}

bool GnomeShellWindows::pressKeys(const QList<quint32>& keysyms) {
    if (m_remoteSession.isEmpty())
        return false;
    QDBusInterface session(remoteDesktop, m_remoteSession,
                           remoteDesktop + QStringLiteral(".Session"));
    const auto send = [&](quint32 keysym, bool down) {
        return session.call(QStringLiteral("NotifyKeyboardKeysym"), keysym, down).type() !=
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
    // A right arrow moves over one grapheme cluster.
    const auto graphemes = [](const QString& part) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, part);
        int count = 0;
        while (finder.toNextBoundary() > 0)
            ++count;
        return count;
    };
    bool sent = at >= 0 && pressKeys({controlKey, homeKey});
    for (int i = graphemes(all.left(at)); sent && i > 0; --i)
        sent = pressKeys({rightKey});
    for (int i = graphemes(word); sent && i > 0; --i)
        sent = pressKeys({shiftKeysym, rightKey});
    return sent;
}

bool GnomeShellWindows::pressProgramShortcut() {
    constexpr quint32 superKey = 0xffeb, altKey = 0xffe9, tKey = 0x74;
    return pressKeys({superKey, altKey, tKey});
}

bool GnomeShellWindows::turnProgramExtension(bool on) {
    QDBusInterface shell(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                         QStringLiteral("org.gnome.Shell.Extensions"));
    shell.setTimeout(30000); // a loaded headless shell may be slow to answer
    const QString uuid = QStringLiteral("ovra@ovra.app");
    const auto helperOnBus = [] {
        const QDBusReply<bool> on = QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("app.ovra.Ovra.ShellHelper"));
        return on.isValid() && on.value();
    };
    const QDBusReply<bool> changed = shell.call(
        on ? QStringLiteral("EnableExtension") : QStringLiteral("DisableExtension"), uuid);
    return changed.isValid() && changed.value() &&
           waitUntil([&] { return helperOnBus() == on; }, 30s);
}

bool GnomeShellWindows::isReady() const {
    return !m_remoteSession.isEmpty() &&
           QDBusInterface(e2eWindows, QStringLiteral("/app/ovra/E2eWindows"), e2eWindows).isValid();
}

std::optional<QList<CompositorWindow>> GnomeShellWindows::windows() {
    QDBusInterface shell(e2eWindows, QStringLiteral("/app/ovra/E2eWindows"), e2eWindows);
    const QDBusReply<QString> list = shell.call(QStringLiteral("ListWindows"));
    if (!list.isValid())
        return std::nullopt;
    return windowsFrom(list.value());
}

bool GnomeShellWindows::activate(qint32 pid) {
    QDBusInterface shell(e2eWindows, QStringLiteral("/app/ovra/E2eWindows"), e2eWindows);
    return waitUntil(
               [&] {
                   const auto window = windowOf(pid);
                   if (window && window->active)
                       return true;
                   shell.call(QStringLiteral("Activate"), pid);
                   return false;
               },
               5s) &&
           pressKeys({shiftKeysym});
}

WaylandTarget::WaylandTarget(Kind kind, QString title, QString program)
    : m_kind(kind), m_title(std::move(title)), m_program(std::move(program)) {}

WaylandTarget::~WaylandTarget() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
}

bool WaylandTarget::start() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    // Our targets write their text here; the editors open it, holding what our targets show.
    const QString state = m_dir.filePath(QStringLiteral("text"));
    const bool editor = m_kind == Kind::GnomeTextEditor;
    if (editor) {
        QFile file(state);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("Olá café 😀 naïve text here.\nSegunda linha com a palavra ALVO aqui.") < 0)
            return false;
        // Settings and restored sessions of an earlier start stay apart.
        for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.insert(QString::fromLatin1(folder),
                               m_dir.filePath(QString::fromLatin1(folder)));
    }
    m_process.setProcessEnvironment(environment);
    switch (m_kind) {
    case Kind::Gtk:
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(OVRA_GTK_TARGET), m_title, state});
        break;
    case Kind::Qt:
        m_process.start(m_program.isEmpty() ? QStringLiteral(OVRA_QT_TARGET) : m_program,
                        {m_title, state});
        break;
    case Kind::GnomeTextEditor:
        m_process.start(QStringLiteral("gnome-text-editor"),
                        {QStringLiteral("--standalone"), state});
        break;
    }
    if (!m_process.waitForStarted(5000))
        return false;
    return waitUntil(
        [&] {
            return m_process.state() == QProcess::Running && QFile::exists(state) &&
                   (editor ? reportedText().contains(u"naïve") : bool(textViewOf(pid())));
        },
        30s);
}

qint32 WaylandTarget::pid() const {
    return static_cast<qint32>(m_process.processId());
}

QString WaylandTarget::reportedText() const {
    if (m_kind == Kind::GnomeTextEditor)
        return textOf(textViewOf(pid()));
    QFile file(m_dir.filePath(QStringLiteral("text")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

Accessible::Accessible(const Accessible& other)
    : m_object(other.m_object ? static_cast<AtspiAccessible*>(g_object_ref(other.m_object))
                              : nullptr) {}

Accessible& Accessible::operator=(Accessible other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
}

Accessible::~Accessible() {
    if (m_object)
        g_object_unref(m_object);
}

Accessible textViewOf(qint32 pid) {
    return findTextView(applicationOf(pid), 0);
}

QString textOf(const Accessible& text) {
    AtspiText* iface = atspi_accessible_get_text_iface(text.get());
    if (!iface)
        return {};
    const int count = atspi_text_get_character_count(iface, nullptr);
    QString result = takeString(atspi_text_get_text(iface, 0, count, nullptr));
    g_object_unref(iface);
    return result;
}

QString selectedTextOf(const Accessible& text) {
    AtspiText* iface = atspi_accessible_get_text_iface(text.get());
    if (!iface)
        return {};
    QString result;
    if (atspi_text_get_n_selections(iface, nullptr) > 0) {
        AtspiRange* range = atspi_text_get_selection(iface, 0, nullptr);
        if (range) {
            result = takeString(
                atspi_text_get_text(iface, range->start_offset, range->end_offset, nullptr));
            g_free(range);
        }
    }
    g_object_unref(iface);
    return result;
}

std::optional<QSize> toplevelSizeOf(const Accessible& text) {
    // The child of the application the text lies in.
    Accessible top = text;
    for (int depth = 0; top && depth < 50; ++depth) {
        Accessible parent(atspi_accessible_get_parent(top.get(), nullptr));
        if (!parent || atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_APPLICATION)
            break;
        top = parent;
    }
    AtspiComponent* component = top ? atspi_accessible_get_component_iface(top.get()) : nullptr;
    if (!component)
        return std::nullopt;
    AtspiRect* box = atspi_component_get_extents(component, ATSPI_COORD_TYPE_WINDOW, nullptr);
    g_object_unref(component);
    if (!box)
        return std::nullopt;
    const QSize size(box->width, box->height);
    g_free(box);
    return size.isEmpty() ? std::nullopt : std::optional<QSize>(size);
}

bool isFocused(const Accessible& text) {
    return text && hasStates(text.get(), {ATSPI_STATE_FOCUSED});
}

bool selectWord(const Accessible& text, const QString& word) {
    const auto offsets = wordOffsets(text, word);
    AtspiText* iface = offsets ? atspi_accessible_get_text_iface(text.get()) : nullptr;
    if (!iface)
        return false;
    const bool done =
        atspi_text_get_n_selections(iface, nullptr) > 0
            ? atspi_text_set_selection(iface, 0, offsets->first, offsets->second, nullptr)
            : atspi_text_add_selection(iface, offsets->first, offsets->second, nullptr);
    g_object_unref(iface);
    return done;
}

bool clearSelectionOf(const Accessible& text) {
    AtspiText* iface = text ? atspi_accessible_get_text_iface(text.get()) : nullptr;
    if (!iface)
        return false;
    while (atspi_text_get_n_selections(iface, nullptr) > 0) {
        if (!atspi_text_remove_selection(iface, 0, nullptr))
            break;
    }
    const bool cleared = atspi_text_get_n_selections(iface, nullptr) <= 0;
    g_object_unref(iface);
    return cleared;
}

std::optional<QRect> wordBoxInWindow(const Accessible& text, const QString& word) {
    const auto offsets = wordOffsets(text, word);
    AtspiText* iface = offsets ? atspi_accessible_get_text_iface(text.get()) : nullptr;
    if (!iface)
        return std::nullopt;
    // The glyphs' own boxes: toolkits differ in what a range's box adds around them.
    QRect united;
    for (int offset = offsets->first; offset < offsets->second; ++offset) {
        AtspiRect* box =
            atspi_text_get_character_extents(iface, offset, ATSPI_COORD_TYPE_WINDOW, nullptr);
        if (box)
            united |= QRect(box->x, box->y, box->width, box->height);
        g_free(box);
    }
    g_object_unref(iface);
    return united.isEmpty() ? std::nullopt : std::optional<QRect>(united);
}

bool setTextOf(const Accessible& text, const QString& contents) {
    AtspiEditableText* iface = atspi_accessible_get_editable_text_iface(text.get());
    if (!iface)
        return false;
    const bool done =
        atspi_editable_text_set_text_contents(iface, contents.toUtf8().constData(), nullptr);
    g_object_unref(iface);
    return done;
}

} // namespace ovra::e2e
