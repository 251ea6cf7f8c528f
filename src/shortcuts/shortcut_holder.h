#pragma once

#include <QObject>
#include <QString>

namespace ovra {

// What holds the panel's shortcut on this desktop, told by the platform as it learns it (the
// desktop's portal answers some time after the start), for the preferences to say. Main thread
// only.
class ShortcutHolder final : public QObject {
    Q_OBJECT
public:
    enum class Kind {
        none,           // nothing holds it (yet), or the desktop leaves it to the user
        program,        // the program's own grab (X11)
        desktopPortal,  // the desktop's global shortcuts portal
        kdeShortcuts,   // KDE's global shortcut service
        shellExtension, // the program's GNOME Shell extension
    };

    Kind kind() const { return m_kind; }
    // The trigger as the portal describes it; its settings or dialog may have chosen another
    // than the stored one. Empty for the other holders and while the portal reports none.
    const QString& trigger() const { return m_trigger; }
    // Emits changed when either differs.
    void set(Kind kind, const QString& trigger = {});

Q_SIGNALS:
    void changed();

private:
    Kind m_kind = Kind::none;
    QString m_trigger;
};

} // namespace ovra
