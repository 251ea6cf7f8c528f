#include "dialogs/ignored_apps_model.h"

namespace ovra {

IgnoredAppsModel::IgnoredAppsModel(Prefs& prefs, NameLookup nameLookup, QObject* parent)
    : QObject(parent), m_prefs(prefs), m_nameLookup(std::move(nameLookup)) {}

QString IgnoredAppsModel::title(const IgnoredApp& app) {
    return app.name.isEmpty() ? app.appId : app.name;
}

void IgnoredAppsModel::reload() {
    QList<IgnoredApp> apps = m_prefs.ignoredApps();
    for (IgnoredApp& app : apps)
        if (app.name.isEmpty() && m_nameLookup)
            app.name = m_nameLookup(app.appId).value_or(QString());
    m_apps = std::move(apps);
    Q_EMIT appsChanged();
}

void IgnoredAppsModel::reactivate(const QString& appId) {
    m_prefs.unignore(appId);
    reload();
}

void IgnoredAppsModel::reactivateAll() {
    m_prefs.setIgnoredApps({});
    reload();
}

QString IgnoredAppsModel::Texts::windowTitle() {
    return QStringLiteral("Ovra — Apps ignorados");
}
QString IgnoredAppsModel::Texts::title() {
    return QStringLiteral("Apps ignorados");
}
QString IgnoredAppsModel::Texts::explanation() {
    return QStringLiteral("Nestes apps o painel não aparece ao selecionar texto. Reative um app "
                          "para voltar a usá-lo nele.");
}
QString IgnoredAppsModel::Texts::empty() {
    return QStringLiteral("Nenhum app ignorado no momento.");
}
QString IgnoredAppsModel::Texts::reactivate() {
    return QStringLiteral("Reativar");
}
QString IgnoredAppsModel::Texts::reactivateAll() {
    return QStringLiteral("Reativar todos");
}
QString IgnoredAppsModel::Texts::close() {
    return QStringLiteral("Fechar");
}

} // namespace ovra
