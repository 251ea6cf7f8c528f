#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace ovra {

class AppDelegate;

// What the application shell puts on screen: the tray, the alerts and the secondary windows.
// The widget implementation creates each window on first use and keeps it; tests record calls.
class AppUI {
public:
    struct WelcomeAnswer {
        QString name;                      // as typed, untrimmed
        bool requestAccessibility = false; // the first button was pressed
    };

    virtual ~AppUI() = default;

    // The tray icon, whose menu asks `delegate` for its rows each time it opens.
    virtual void setupTrayIcon(AppDelegate& delegate) = 0;
    // The first-launch welcome; `done` is called once when it closes.
    virtual void showWelcome(std::function<void(const WelcomeAnswer&)> done) = 0;
    // Asks for the user's name, starting from `current`; `done` gets the text on "Salvar" and
    // nothing on "Cancelar".
    virtual void editUserName(const QString& current,
                              std::function<void(const std::optional<QString>&)> done) = 0;
    virtual void showAbout(const QString& message) = 0;
    // A passing notice that needs no answer (a desktop notification from the tray).
    virtual void showNotice(const QString& message) = 0;
    virtual void showNoKeyWarning(std::function<void()> onConfigureNow) = 0;
    // `onHotKeyChanged`: the stored shortcut was changed or reset, so the shell registers the
    // shortcuts again.
    virtual void showPreferences(std::function<void()> onOpenEngines,
                                 std::function<void()> onOpenIgnored,
                                 std::function<void()> onHotKeyChanged) = 0;
    virtual void showAISettings() = 0;
    virtual void showIgnoredApps() = 0;
    virtual void showFeedback() = 0;
    // Ends the application (the delegate's termination runs on the way out).
    virtual void quit() = 0;
};

} // namespace ovra
