#pragma once

#include "settings/prefs.h"

#include <QList>
#include <QObject>
#include <functional>
#include <optional>

namespace ovra {

// The ignored-apps window's list: the stored entries, with a display name looked up for those
// stored without one. Looked-up names are only shown, never written back.
class IgnoredAppsModel final : public QObject {
    Q_OBJECT
public:
    // The installed application's display name for an application id, if any.
    using NameLookup = std::function<std::optional<QString>(const QString& appId)>;

    // Without `nameLookup`, entries stored without a name show their id.
    explicit IgnoredAppsModel(Prefs& prefs, NameLookup nameLookup = {}, QObject* parent = nullptr);

    const QList<IgnoredApp>& apps() const { return m_apps; }
    // The row's title: its name, or its id when it has none.
    static QString title(const IgnoredApp& app);

    void reload();
    // "Reativar": takes one application off the list.
    void reactivate(const QString& appId);
    // "Reativar todos": empties the list.
    void reactivateAll();

    struct Texts {
        static QString windowTitle();
        static QString title();
        static QString explanation();
        static QString empty();
        static QString reactivate();
        static QString reactivateAll();
        static QString close();
    };

Q_SIGNALS:
    void appsChanged();

private:
    Prefs& m_prefs;
    NameLookup m_nameLookup;
    QList<IgnoredApp> m_apps;
};

} // namespace ovra
