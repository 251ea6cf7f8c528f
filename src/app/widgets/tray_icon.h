#pragma once

#include "app/status_menu_model.h"

#include <QObject>
#include <functional>
#include <memory>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace ovra {

class AppDelegate;

// Fills a menu with the status menu's rows; chosen rows go to `perform`.
namespace StatusMenu {
void fill(QMenu& menu, const QList<MenuRow>& rows, const std::function<void(MenuRow)>& perform);
// The tray icon: the desktop theme's icon when it has one, else the bundled drawing.
QIcon iconImage();
} // namespace StatusMenu

// The tray icon and its menu, rebuilt from the delegate every time the menu opens. Without a
// system tray the icon stays hidden, the program keeps running, and the delegate is told once
// (at start, or when a tray that was there goes away).
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(AppDelegate& delegate, QObject* parent = nullptr);
    ~TrayIcon() override;

    QMenu& menu() { return *m_menu; }
    QSystemTrayIcon& tray() { return *m_tray; }
    // What menuWillOpen does: the rows as they are now.
    void rebuild();

private:
    void checkTray();

    AppDelegate& m_delegate;
    bool m_reportedUnavailable = false;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
};

} // namespace ovra
