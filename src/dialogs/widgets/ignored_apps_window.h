#pragma once

#include "dialogs/ignored_apps_model.h"

#include <memory>

class QDialog;
class QVBoxLayout;
class QPushButton;

namespace ovra {

// The list of applications in which the panel never appears, with a way back for each. Built on
// the first show(), kept after closing; every show() reloads the list.
class IgnoredAppsWindow {
public:
    explicit IgnoredAppsWindow(Prefs& prefs, IgnoredAppsModel::NameLookup nameLookup = {});
    ~IgnoredAppsWindow();

    void show();
    QDialog* window() const { return m_window.get(); }
    IgnoredAppsModel* model() const { return m_model; }

private:
    void build();
    void rebuildRows();
    void settle();

    Prefs& m_prefs;
    IgnoredAppsModel::NameLookup m_nameLookup;
    std::unique_ptr<QDialog> m_window;
    IgnoredAppsModel* m_model = nullptr; // owned by the window
    QVBoxLayout* m_rows = nullptr;
    QPushButton* m_reactivateAll = nullptr;
};

} // namespace ovra
