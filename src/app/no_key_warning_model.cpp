#include "app/no_key_warning_model.h"

#include "settings/prefs.h"

namespace ovra {

NoKeyWarningModel::NoKeyWarningModel(Prefs& prefs, QObject* parent)
    : QObject(parent), m_prefs(prefs) {}

void NoKeyWarningModel::setDontShowAgain(bool value) {
    if (value == m_dontShowAgain)
        return;
    m_dontShowAgain = value;
    m_prefs.setSuppressNoKeyWarning(value);
}

QString NoKeyWarningModel::Texts::windowTitle() {
    return QStringLiteral("Ovra");
}
QString NoKeyWarningModel::Texts::title() {
    return QStringLiteral("Conecte uma API de IA");
}
QString NoKeyWarningModel::Texts::callout() {
    return QStringLiteral("Para o Reformular com IA, conecte uma chave de API de IA.");
}
QString NoKeyWarningModel::Texts::explanation() {
    return QStringLiteral(
        "A tradução já está funcionando: ela sai pela chave padrão do Ovra (Google Tradutor). O "
        "que a IA online adiciona é o Reformular mais preciso — e ela também pode traduzir, se "
        "você preferir. Sem a chave, o Reformular usa o motor do próprio aparelho quando ele está "
        "disponível.");
}
QString NoKeyWarningModel::Texts::dontShowAgain() {
    return QStringLiteral("Não avisar de novo");
}
QString NoKeyWarningModel::Texts::notNow() {
    return QStringLiteral("Agora não");
}
QString NoKeyWarningModel::Texts::configureNow() {
    return QStringLiteral("Configurar agora");
}

} // namespace ovra
