#pragma once

#include "support/scheduler.h"

#include <memory>

class QDialog;

namespace ovra {

class Prefs;
class KeyStore;
class AISettingsModel;
class AISettingsView;

// The online engines window: built on the first show(), kept after closing; each later show()
// reloads the stored settings. A change of the translation service swaps the section shown and,
// 40 ms later, fits the window's height to it with the top edge kept.
class AISettingsWindow {
public:
    static constexpr Duration fitDelay{40};

    AISettingsWindow(Prefs& prefs, KeyStore& keys, Scheduler& scheduler);
    ~AISettingsWindow();

    void show();
    QDialog* window() const { return m_window.get(); }
    AISettingsModel* model() const { return m_model; }
    // Grows or shrinks the window downward to its content's height.
    void fitWindowToContent();

private:
    void build();

    Prefs& m_prefs;
    KeyStore& m_keys;
    Scheduler& m_scheduler;
    std::unique_ptr<QDialog> m_window;
    AISettingsModel* m_model = nullptr; // owned by the window
    AISettingsView* m_view = nullptr;   // owned by the window
    ScheduledWork m_fit{m_scheduler};
};

} // namespace ovra
