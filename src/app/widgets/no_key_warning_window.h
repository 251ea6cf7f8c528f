#pragma once

#include <QObject>
#include <memory>

class QDialog;

namespace ovra {

class Prefs;
class NoKeyWarningModel;

// The warning that no AI key is connected. The window and its model are built on the first
// show() and kept, so the checkbox keeps its last state.
class NoKeyWarningWindow : public QObject {
    Q_OBJECT
public:
    explicit NoKeyWarningWindow(Prefs& prefs);
    ~NoKeyWarningWindow() override;

    void show();
    QDialog* window() const { return m_window.get(); }

Q_SIGNALS:
    // "Configure now" was chosen; sent after this window has closed.
    void configureNowRequested();

private:
    void build();

    Prefs& m_prefs;
    std::unique_ptr<QDialog> m_window;
    NoKeyWarningModel* m_model = nullptr; // owned by the window
};

} // namespace ovra
