#include "app/shell_texts.h"

#include <QStringList>

namespace ovra::ShellTexts {

QString welcomeTitle() {
    return QStringLiteral("Bem-vindo ao Ovra");
}

QString welcomeMessage() {
    const QStringList paragraphs{
        QStringLiteral("Como podemos te chamar? (opcional — dá para mudar depois em \"Editar "
                       "nome…\" no menu)"),
        QStringLiteral("Para o painel aparecer quando você seleciona um texto em qualquer app, o "
                       "Ovra precisa da permissão de Acessibilidade."),
        QStringLiteral("Clique em \"Solicitar Acessibilidade\" e, nas configurações de "
                       "acessibilidade do seu ambiente de trabalho, ative as tecnologias "
                       "assistivas."),
        QStringLiteral("Dica: traduzir já funciona de cara, pela chave padrão do app (Google "
                       "Tradutor). Conectar a sua chave de IA deixa o Reformular mais preciso; sem "
                       "ela, o Ovra usa os motores do próprio aparelho. Dá para configurar quando "
                       "quiser em \"Configurar motores online…\" no menu."),
    };
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString namePlaceholder() {
    return QStringLiteral("Seu nome");
}

QString requestAccessibility() {
    return QStringLiteral("Solicitar Acessibilidade");
}

QString notNow() {
    return QStringLiteral("Agora não");
}

QString editNameTitle() {
    return QStringLiteral("Seu nome");
}

QString editNameMessage() {
    return QStringLiteral("Como o Ovra deve te chamar?");
}

QString save() {
    return QStringLiteral("Salvar");
}

QString cancel() {
    return QStringLiteral("Cancelar");
}

QString aboutTitle() {
    return QStringLiteral("Ovra");
}

QString aboutMessage(const QString& version) {
    return QStringLiteral(
               "Protótipo que mostra um painel junto de qualquer texto selecionado no seu "
               "computador, com tradução e reformulação pela IA online ou pelo Google Tradutor "
               "(quando configurados) ou no próprio aparelho, e substituição no lugar.") %
           QStringLiteral("\n\nVersão ") % (version.isEmpty() ? QStringLiteral("?") : version) %
           QStringLiteral(" — uso pessoal.");
}

QString ok() {
    return QStringLiteral("OK");
}

} // namespace ovra::ShellTexts
