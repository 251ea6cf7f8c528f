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

namespace {

std::string chatAnswer(const QString& reply) {
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"), reply}};
    const QJsonObject choice{{QStringLiteral("index"), 0}, {QStringLiteral("message"), message}};
    const QJsonObject answer{{QStringLiteral("choices"), QJsonArray{choice}}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

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
    return QStringLiteral("http://127.0.0.1:%1/v1").arg(m_server.port());
}

void FakeChatService::setReply(const QString& reply) {
    test::FakeHttpServer::Response response;
    response.body = chatAnswer(reply);
    m_server.setDefault(std::move(response));
}

OvraProcess::OvraProcess(Options options) : m_options(std::move(options)) {}

OvraProcess::~OvraProcess() {
    stopProcess(m_process);
}

bool OvraProcess::start() {
    if (!m_dir.isValid())
        return false;
    const QString config = m_dir.filePath(QStringLiteral("config"));
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString keysFolder = data + QStringLiteral("/app.ovra.Ovra");
    if (!QDir().mkpath(config + QStringLiteral("/ovra")) || !QDir().mkpath(keysFolder) ||
        !QDir().mkpath(m_dir.filePath(QStringLiteral("cache"))))
        return false;
    QFile::setPermissions(keysFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QJsonObject settings{
        {QStringLiteral("aiProvider"), QStringLiteral("custom")},
        {QStringLiteral("onlineTranslationProvider"), QStringLiteral("ai")},
        {QStringLiteral("onlineAIBaseURL.custom"), m_options.chatBaseURL},
        {QStringLiteral("onlineAIModel.custom"), QStringLiteral("fake")},
        {QStringLiteral("didShowWelcome"), true},
        {QStringLiteral("suppressNoKeyWarning"), true},
        // The headless desktop has no tray; the one-time preferences window has been seen.
        {QStringLiteral("didShowNoTrayNotice"), true},
        // "Traduzir e substituir" on Alt+Super+R (the R key, Super + Alt).
        {QStringLiteral("actionHotKeyCode.translate-replace"), 15},
        {QStringLiteral("actionHotKeyModifiers.translate-replace"), 2304},
    };
    if (!m_options.ignoredApps.isEmpty()) {
        QJsonArray ignored;
        for (const QString& id : std::as_const(m_options.ignoredApps))
            ignored.append(
                QJsonObject{{QStringLiteral("bundleID"), id}, {QStringLiteral("name"), id}});
        settings.insert(QStringLiteral("ignoredApps"), ignored);
    }
    const QString keys = keysFolder + QStringLiteral("/keys.json");
    if (!writeFile(config + QStringLiteral("/ovra/defaults.json"),
                   QJsonDocument(settings).toJson()) ||
        !writeFile(keys, QJsonDocument(QJsonObject{{QStringLiteral("onlineAI.apiKey.custom"),
                                                    m_options.apiKey}})
                             .toJson()))
        return false;
    QFile::setPermissions(keys, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
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

OvraProcess::Run OvraProcess::runAgain(const QStringList& arguments) const {
    QProcess second;
    second.setProcessEnvironment(m_environment);
    second.start(QStringLiteral(OVRA_EXECUTABLE), arguments);
    Run run;
    if (!second.waitForFinished(10000)) {
        second.kill();
        second.waitForFinished(1000);
        return run;
    }
    run.exitCode = second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    run.errors = QString::fromUtf8(second.readAllStandardError());
    return run;
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
    return visibleWindowOf(pid(), QStringLiteral("^Ovra$"));
}

std::optional<QRect> OvraProcess::panelWindowGeometry() const {
    const QString id = panelWindowId();
    if (id.isEmpty())
        return std::nullopt;
    const QRect window = clientGeometry(id);
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
    if (!extents)
        return std::nullopt;
    return extents->center();
}

QString OvraProcess::describePanel() const {
    QString out;
    walkShowing(pid(), [&](const Accessible& element, int depth) {
        out += QString(depth * 2, u' ') + element.roleName() + QStringLiteral(": ") +
               element.name() + u'\n';
        return false;
    });
    return out.isEmpty() ? QStringLiteral("(not on the accessibility bus)") : out;
}

bool OvraProcess::hasElement(const QString& role, const QString& name) const {
    return findShowing(pid(), role, name).has_value();
}

bool dragAcross(const QRectF& firstCharacter, const QRectF& lastCharacter) {
    const QString y = QString::number(qRound(firstCharacter.center().y()));
    const QString from =
        QString::number(qRound(firstCharacter.left() + firstCharacter.width() / 4));
    const QString middle =
        QString::number(qRound((firstCharacter.center().x() + lastCharacter.center().x()) / 2));
    const QString to = QString::number(qRound(lastCharacter.right() - lastCharacter.width() / 4));
    return xdotool({QStringLiteral("mousemove"), from, y, QStringLiteral("mousedown"),
                    QStringLiteral("1"), QStringLiteral("mousemove"), middle, y,
                    QStringLiteral("mousemove"), to, y, QStringLiteral("mouseup"),
                    QStringLiteral("1")});
}

bool clickAt(const QPoint& point) {
    return xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                    QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")});
}

bool saveScreenshot(const QString& path) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path, "PNG");
}

bool placedBeside(const QRect& panel, const QRectF& selection, const QRect& screen, QString* why) {
    constexpr double gap = 12, margin = 8, tolerance = 2;
    const auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const auto describe = [](const QRectF& r) {
        return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    const QString both = QStringLiteral(" panel ") + describe(panel) +
                         QStringLiteral(" selection ") + describe(selection);
    if (std::abs(panel.width() - PanelView::panelWidth) > tolerance)
        return fail(QStringLiteral("panel width is not the panel's width;") + both);
    const double centred = selection.center().x() - panel.width() / 2.0;
    const double clamped = std::clamp(centred, screen.left() + margin,
                                      screen.left() + screen.width() - margin - panel.width());
    if (std::abs(panel.x() - clamped) > tolerance)
        return fail(QStringLiteral("not centred on the selection;") + both);
    const double panelBottom = panel.y() + panel.height(); // exclusive edge, as the selection's
    const bool above = std::abs(panelBottom - (selection.top() - gap)) <= tolerance;
    const bool below = std::abs(panel.y() - (selection.bottom() + gap)) <= tolerance;
    if (!above && !below)
        return fail(QStringLiteral("not 12 points above or below the selection;") + both);
    return true;
}

} // namespace ovra::e2e
