// atspi.h first: its GLib headers use names that Qt's keywords would take.
#include <atspi/atspi.h>

#include "app/ovra_app.h"

#include "support/accessible_tree.h"

#include "panel/widgets/floating_panel_window.h"
#include "panel/widgets/panel_view.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcessEnvironment>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

// Where the panel's card sits inside its window, as fractions of the window's size: the shadow
// around it is cut where the window meets a screen edge, so the window's size alone cannot tell.
std::optional<QRectF> cardInWindow(qint32 pid) {
    std::optional<QRectF> card;
    walkShowing(pid, [&](const Accessible& window, int depth) {
        if (depth != 1 || window.name() != u"Ovra")
            return depth > 1; // the windows are the application's children
        const Accessible first(atspi_accessible_get_child_at_index(window.get(), 0, nullptr));
        const auto outer = window.screenExtents();
        const auto inner = first.screenExtents();
        if (outer && inner) {
            const QRectF moved = QRectF(*inner).translated(-outer->topLeft());
            card = QRectF(moved.x() / outer->width(), moved.y() / outer->height(),
                          moved.width() / outer->width(), moved.height() / outer->height());
        }
        return true;
    });
    return card;
}

std::optional<QRect> findShowing(qint32 pid, const QString& role, const QString& name) {
    std::optional<QRect> found;
    walkShowing(pid, [&](const Accessible& element, int) {
        // at-spi2-core 2.56 (Debian 13) names the push button role "button".
        const QString roleName = element.roleName();
        if ((roleName == role || (roleName == u"button" && role == u"push button")) &&
            element.name() == name)
            found = element.screenExtents();
        return found.has_value();
    });
    return found;
}

} // namespace

FakeChatService::FakeChatService(const QString& reply) {
    setReply(reply);
}

QString FakeChatService::baseURL() const {
    return u"http://127.0.0.1:%1/v1"_s.arg(m_server.port());
}

void FakeChatService::setReply(const QString& reply) {
    const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, reply}};
    const QJsonObject choice{{u"index"_s, 0}, {u"message"_s, message}};
    test::FakeHttpServer::Response response;
    response.body = QJsonDocument(QJsonObject{{u"choices"_s, QJsonArray{choice}}})
                        .toJson(QJsonDocument::Compact)
                        .toStdString();
    m_server.setDefault(std::move(response));
}

OvraProcess::OvraProcess(Options options) : m_options(std::move(options)) {}

OvraProcess::~OvraProcess() {
    stopProcess(m_process);
}

bool OvraProcess::start() {
    if (!m_dir.isValid())
        return false;
    const QString config = m_dir.filePath(u"config"_s);
    const QString data = m_dir.filePath(u"data"_s);
    const QString keysFolder = data + u"/app.ovra.Ovra"_s;
    if (!QDir().mkpath(keysFolder) || !QDir().mkpath(m_dir.filePath(u"cache"_s)))
        return false;
    QFile::setPermissions(keysFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QJsonObject settings{
        {u"aiProvider"_s, u"custom"_s},
        {u"onlineTranslationProvider"_s, u"ai"_s},
        {u"onlineAIBaseURL.custom"_s, m_options.chatBaseURL},
        {u"onlineAIModel.custom"_s, u"fake"_s},
        {u"didShowWelcome"_s, true},
        {u"suppressNoKeyWarning"_s, true},
        // The headless desktop has no tray; the one-time preferences window has been seen.
        {u"didShowNoTrayNotice"_s, true},
        // "Traduzir e substituir" on Alt+Super+R (the R key, Super + Alt).
        {u"actionHotKeyCode.translate-replace"_s, 15},
        {u"actionHotKeyModifiers.translate-replace"_s, 2304},
    };
    if (!m_options.ignoredApps.isEmpty()) {
        QJsonArray ignored;
        for (const QString& id : std::as_const(m_options.ignoredApps))
            ignored.append(QJsonObject{{u"bundleID"_s, id}, {u"name"_s, id}});
        settings.insert(u"ignoredApps"_s, ignored);
    }
    const QString keys = keysFolder + u"/keys.json"_s;
    if (!writeFile(config + u"/ovra/defaults.json"_s, QJsonDocument(settings).toJson()) ||
        !writeFile(
            keys,
            QJsonDocument(QJsonObject{{u"onlineAI.apiKey.custom"_s, m_options.apiKey}}).toJson()))
        return false;
    QFile::setPermissions(keys, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, config);
    environment.insert(u"XDG_DATA_HOME"_s, data);
    environment.insert(u"XDG_CACHE_HOME"_s, m_dir.filePath(u"cache"_s));
    for (const QString& variable : std::as_const(m_options.environment))
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    m_environment = environment;
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(m_options.environment.isEmpty()
                                        ? QProcess::ForwardedErrorChannel
                                        : QProcess::SeparateChannels);
    m_process.start(QStringLiteral(OVRA_EXECUTABLE), m_options.arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    return waitUntil([&] { return !isRunning() || bool(applicationOf(pid())); }, 15s) &&
           isRunning();
}

QString OvraProcess::errorOutput() {
    m_errors += QString::fromUtf8(m_process.readAllStandardError());
    return m_errors;
}

ToolResult OvraProcess::runAgain(const QStringList& arguments) const {
    return runTool(QStringLiteral(OVRA_EXECUTABLE), arguments, {}, m_environment);
}

std::optional<int> OvraProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (!waitUntil([&] { return !isRunning(); }, timeout))
        return std::nullopt;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

qint32 OvraProcess::pid() const {
    return static_cast<qint32>(m_process.processId());
}

QString OvraProcess::panelWindowId() const {
    return visibleWindowOf(pid(), u"^Ovra$"_s);
}

std::optional<QRect> OvraProcess::panelWindowGeometry() const {
    const QString id = panelWindowId();
    const QRect window = id.isEmpty() ? QRect() : clientGeometry(id);
    return window.width() > 0 ? std::optional<QRect>(window) : std::nullopt;
}

std::optional<QRect> OvraProcess::panelFrame() const {
    const auto window = panelWindowGeometry();
    const auto card = window ? cardInWindow(pid()) : std::nullopt;
    if (!card)
        return std::nullopt;
    return QRectF(window->x() + card->x() * window->width(),
                  window->y() + card->y() * window->height(), card->width() * window->width(),
                  card->height() * window->height())
        .toRect();
}

bool OvraProcess::waitForPanel(std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return panelFrame().has_value(); }, timeout);
}

bool OvraProcess::waitForNoPanel(std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return !panelFrame().has_value(); }, timeout);
}

std::optional<QPoint> OvraProcess::elementCentre(const QString& role, const QString& name) const {
    const auto extents = findShowing(pid(), role, name);
    return extents ? std::optional<QPoint>(extents->center()) : std::nullopt;
}

QString OvraProcess::describePanel() const {
    QString out;
    walkShowing(pid(), [&](const Accessible& element, int depth) {
        out += QString(depth * 2, u' ') + element.roleName() + u": "_s + element.name() + u'\n';
        return false;
    });
    return out.isEmpty() ? u"(not on the accessibility bus)"_s : out;
}

bool OvraProcess::hasElement(const QString& role, const QString& name) const {
    return findShowing(pid(), role, name).has_value();
}

bool dragAcross(const QRectF& firstCharacter, const QRectF& lastCharacter) {
    const int y = qRound(firstCharacter.center().y());
    const int from = qRound(firstCharacter.left() + firstCharacter.width() / 4);
    const int middle = qRound((firstCharacter.center().x() + lastCharacter.center().x()) / 2);
    const int to = qRound(lastCharacter.right() - lastCharacter.width() / 4);
    return xdotool(
        u"mousemove %1 %2 mousedown 1 mousemove %3 %2 mousemove %4 %2 mouseup 1"_s.arg(from)
            .arg(y)
            .arg(middle)
            .arg(to));
}

bool clickAt(const QPoint& point) {
    return xdotool(u"mousemove %1 %2 click 1"_s.arg(point.x()).arg(point.y()));
}

bool saveScreenshot(const QString& path) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path, "PNG");
}

bool placedBeside(const QRect& panel, const QRectF& selection, const QRect& screen, QString* why) {
    constexpr double gap = 12, margin = 8, tolerance = 2;
    const double centred =
        std::clamp(selection.center().x() - panel.width() / 2.0, screen.left() + margin,
                   screen.left() + screen.width() - margin - panel.width());
    const double panelBottom = panel.y() + panel.height(); // exclusive edge, as the selection's
    const bool above = std::abs(panelBottom - (selection.top() - gap)) <= tolerance;
    const bool below = std::abs(panel.y() - (selection.bottom() + gap)) <= tolerance;
    const QString fault = std::abs(panel.width() - PanelView::panelWidth) > tolerance
                              ? u"panel width is not the panel's width"_s
                          : std::abs(panel.x() - centred) > tolerance
                              ? u"not centred on the selection"_s
                          : !above && !below ? u"not 12 points above or below the selection"_s
                                             : QString();
    const auto describe = [](const QRectF& r) {
        return u"(%1,%2 %3x%4)"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    if (why)
        *why = fault + u"; panel "_s + describe(panel) + u" selection "_s + describe(selection);
    return fault.isEmpty();
}

} // namespace ovra::e2e
