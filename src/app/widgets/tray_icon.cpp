#include "app/widgets/tray_icon.h"

#include "app/app_delegate.h"
#include "support/logging.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

OVRA_LOGGING_CATEGORY("ovra.app");

namespace ovra {

namespace StatusMenu {

void fill(QMenu& menu, const QList<MenuRow>& rows, const std::function<void(MenuRow)>& perform) {
    // clear() takes the actions away but leaves the submenus, which the menu owns, alive: the
    // language submenu alone holds 187 actions, added again at every opening.
    const QList<QMenu*> submenus = menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    menu.clear();
    qDeleteAll(submenus);
    for (const MenuRow& row : rows) {
        if (row.isSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (!row.submenu.isEmpty()) {
            QMenu* submenu = menu.addMenu(row.text);
            fill(*submenu, row.submenu, perform);
            action = submenu->menuAction();
        } else {
            action = menu.addAction(row.text);
            if (row.action != MenuAction::none)
                QObject::connect(action, &QAction::triggered, &menu,
                                 [perform, row] { perform(row); });
        }
        action->setEnabled(row.enabled);
        if (row.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (!row.keyEquivalent.isEmpty())
            action->setShortcut(
                QKeySequence(QStringLiteral("Ctrl+") + row.keyEquivalent.toUpper()));
    }
}

QIcon iconImage() {
    return QIcon::fromTheme(QStringLiteral("ovra"),
                            QIcon(QStringLiteral(":/ovra/icons/ovra-tray.svg")));
}

} // namespace StatusMenu

TrayIcon::TrayIcon(AppDelegate& delegate, QObject* parent)
    : QObject(parent), m_delegate(delegate), m_menu(std::make_unique<QMenu>()),
      m_tray(std::make_unique<QSystemTrayIcon>()) {
    m_tray->setIcon(StatusMenu::iconImage());
    m_tray->setToolTip(QStringLiteral("Ovra"));
    m_tray->setContextMenu(m_menu.get());
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayIcon::rebuild);
    // A left click opens the same menu, as the menu-bar item does.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu->popup(QCursor::pos());
            });
    rebuild();
    m_tray->show();
    // Trays on the session bus announce themselves through this watcher; when it leaves, the icon
    // may have nowhere to go.
    auto* watcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                            QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &TrayIcon::checkTray);
    QTimer::singleShot(0, this, &TrayIcon::checkTray);
}

void TrayIcon::checkTray() {
    if (m_reportedUnavailable || QSystemTrayIcon::isSystemTrayAvailable())
        return;
    qCInfo(lc) << "no system tray on this desktop";
    m_reportedUnavailable = true;
    m_delegate.trayIconUnavailable();
}

TrayIcon::~TrayIcon() {
    m_tray->setContextMenu(nullptr);
}

void TrayIcon::rebuild() {
    // Actions run after the menu has closed, so a command never rebuilds the menu under itself.
    QPointer<TrayIcon> self(this);
    StatusMenu::fill(*m_menu, m_delegate.menuRows(), [self](const MenuRow& row) {
        if (self)
            self->m_delegate.perform(row);
    });
}

} // namespace ovra
