#pragma once

#include "app/app_ui.h"

#include <QStringList>

namespace ovra::test {

// Records what the shell puts on screen and keeps the callbacks for the test to answer.
class FakeAppUI final : public AppUI {
public:
    QStringList shown; // "trayIcon", "welcome", "noKeyWarning", "preferences", …
    std::function<void(const WelcomeAnswer&)> welcomeDone;
    std::function<void(const std::optional<QString>&)> editNameDone;
    QStringList notices;
    std::function<void()> onConfigureNow;
    std::function<void()> onOpenEngines;
    std::function<void()> onOpenIgnored;
    std::function<void()> onHotKeyChanged;

    void setupTrayIcon(AppDelegate&) override { shown.append(QStringLiteral("trayIcon")); }
    void showWelcome(std::function<void(const WelcomeAnswer&)> done) override {
        shown.append(QStringLiteral("welcome"));
        welcomeDone = std::move(done);
    }
    void editUserName(const QString&,
                      std::function<void(const std::optional<QString>&)> done) override {
        shown.append(QStringLiteral("editName"));
        editNameDone = std::move(done);
    }
    void showAbout(const QString&) override { shown.append(QStringLiteral("about")); }
    void showNotice(const QString& message) override { notices.append(message); }
    void showNoKeyWarning(std::function<void()> configureNow) override {
        shown.append(QStringLiteral("noKeyWarning"));
        onConfigureNow = std::move(configureNow);
    }
    void showPreferences(std::function<void()> openEngines, std::function<void()> openIgnored,
                         std::function<void()> hotKeyChanged) override {
        shown.append(QStringLiteral("preferences"));
        onOpenEngines = std::move(openEngines);
        onOpenIgnored = std::move(openIgnored);
        onHotKeyChanged = std::move(hotKeyChanged);
    }
    void showAISettings() override { shown.append(QStringLiteral("aiSettings")); }
    void showIgnoredApps() override { shown.append(QStringLiteral("ignoredApps")); }
    void showFeedback() override { shown.append(QStringLiteral("feedback")); }
    void quit() override { shown.append(QStringLiteral("quit")); }
};

} // namespace ovra::test
