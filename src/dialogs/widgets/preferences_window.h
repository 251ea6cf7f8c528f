#pragma once

#include "shortcuts/shortcut_setup.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QDialog;

namespace ovra {

class Prefs;
class SessionAutostart;
class TranslationService;
class PreferencesModel;
class PreferencesView;

// The preferences window: the shortcut, the interface language and the language packs. Built on
// the first show() and kept; closing only hides it.
class PreferencesWindow : public QObject {
    Q_OBJECT
public:
    // `postHotKeyChanged`: how a stored or reset shortcut is announced.
    PreferencesWindow(Prefs& prefs, TranslationService& translation, SessionAutostart& autostart,
                      std::function<void()> postHotKeyChanged);
    ~PreferencesWindow() override;

    void show();
    QDialog* window() const { return m_window.get(); }
    PreferencesModel* model() const { return m_model.get(); }
    PreferencesView* view() const { return m_view; }

    // Set before the first show().
    ShortcutSetup shortcutSetup;

Q_SIGNALS:
    void openEnginesRequested();
    void openIgnoredRequested();

private:
    void build();

    Prefs& m_prefs;
    TranslationService& m_translation;
    SessionAutostart& m_autostart;
    std::function<void()> m_postHotKeyChanged;
    std::unique_ptr<PreferencesModel> m_model; // outlives the window's view
    std::unique_ptr<QDialog> m_window;
    PreferencesView* m_view = nullptr; // owned by the window
};

} // namespace ovra
