#pragma once

#include "fakes/fake_http_server.h"
#include "support/e2e_session.h"

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace ovra::e2e {

// A chat-completions service on 127.0.0.1 that answers every request with one translation.
class FakeChatService {
public:
    explicit FakeChatService(const QString& reply);
    QString baseURL() const;
    void setReply(const QString& reply);
    std::vector<test::FakeHttpServer::Request> requests() const { return m_server.requests(); }

private:
    test::FakeHttpServer m_server;
};

// The real program in its own process, with private settings and key folders: the `custom`
// provider at a loopback base URL with a stored key, online translation through it, and no
// first-run dialogs.
class OvraProcess {
public:
    struct Options {
        QString chatBaseURL;
        QStringList ignoredApps; // application ids the settings ignore
        QStringList arguments = {};
        QString apiKey = QStringLiteral("test-key");
        // Extra environment ("NAME=value"); with any, the program's standard error is kept for
        // errorOutput() instead of passed through.
        QStringList environment = {};
    };
    explicit OvraProcess(Options options);
    ~OvraProcess();

    // Starts the program and waits until it is on the accessibility bus; false when it is not.
    bool start();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint32 pid() const;
    // What the program wrote to standard error so far (when Options::environment is set).
    QString errorOutput();
    // A further start of the program in the same session and settings, run to its end.
    ToolResult runAgain(const QStringList& arguments) const;
    // Waits for the program to end by itself; its exit code, or nothing while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

    // The panel window's frame on screen (top-left coordinates, without the shadow margin) while
    // it is mapped; nothing while it is not.
    std::optional<QRect> panelFrame() const;
    // The panel's whole X window, shadow margin included, while it is mapped.
    std::optional<QRect> panelWindowGeometry() const;
    // The panel's X window id (as xdotool prints it) while it is mapped; empty while it is not.
    QString panelWindowId() const;
    bool waitForPanel(std::chrono::milliseconds timeout = 5s) const;
    bool waitForNoPanel(std::chrono::milliseconds timeout = 5s) const;

    // Centre of the first showing element of the panel with this role ("push button", "label")
    // and name, found on the accessibility bus.
    std::optional<QPoint> elementCentre(const QString& role, const QString& name) const;
    // Whether a showing element of the panel has this role and name.
    bool hasElement(const QString& role, const QString& name) const;
    // The showing elements of the program's windows, for failure messages.
    QString describePanel() const;

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QProcessEnvironment m_environment;
    QString m_errors;
};

// Selects text with a mouse drag from a quarter into its first character to three quarters into
// its last one (both boxes in top-left screen coordinates): each end is nearest to the boundary
// wanted, so a toolkit that rounds its reported boxes by a pixel or two still selects exactly.
bool dragAcross(const QRectF& firstCharacter, const QRectF& lastCharacter);
// A left click at `point`.
bool clickAt(const QPoint& point);
// A PNG of the whole screen.
bool saveScreenshot(const QString& path);

// Whether `panel` sits beside `selection` as placed: centred on it horizontally (or kept 8 points
// inside the screen), its bottom edge 12 points above the selection's top or its top edge 12
// points below the selection's bottom; `why` says what does not hold.
bool placedBeside(const QRect& panel, const QRectF& selection, const QRect& screen, QString* why);

} // namespace ovra::e2e
