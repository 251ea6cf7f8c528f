#include "ondevice/apertium/apertium_translation_session.h"

#include "ondevice/apertium/apertium_languages.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/packagekit/packagekit_installer.h"

namespace ovra {

namespace {

QString modelInstructions(const QString& targetCode) {
    return QStringLiteral("Translate the user's text into %1. Reply with the translation only, "
                          "without notes, quotes or explanations.")
        .arg(ApertiumLanguages::promptName(targetCode));
}

} // namespace

ApertiumTranslationSession::ApertiumTranslationSession(
    std::shared_ptr<ApertiumTranslationService::Context> context,
    TranslationConfiguration configuration)
    : m_context(std::move(context)), m_configuration(std::move(configuration)),
      m_target(ApertiumLanguages::canonical(m_configuration.target)),
      m_variant(ApertiumLanguages::preferredVariant(m_configuration.target)) {}

QString ApertiumTranslationSession::noTranslatorMessage(const QString& source,
                                                        const QString& target, bool downloadable) {
    const QString from = ApertiumLanguages::displayName(source);
    const QString to = ApertiumLanguages::displayName(target);
    if (downloadable)
        return QStringLiteral("Falta o pacote de idioma para traduzir de %1 para %2 no aparelho. "
                              "Baixe-o nas Preferências.")
            .arg(from, to);
    return QStringLiteral("O aparelho não traduz de %1 para %2.").arg(from, to);
}

QCoro::Task<bool> ApertiumTranslationSession::isReady(CancelToken token) {
    token.throwIfCancelled();
    if (!m_configuration.source)
        co_return true;
    const QString source = ApertiumLanguages::canonical(*m_configuration.source);
    const auto context = m_context;
    const auto needed = ApertiumRoutes::packagesNeeded(context->modes(), source, m_target);
    // Nothing to download either way: translate() serves it or says why it cannot.
    if (!needed || needed->isEmpty())
        co_return true;
    // Nothing can be downloaded without the package service, and the local model translates
    // what no pack covers: translating needs no preparation then.
    const bool canInstall = co_await context->installer.isPresent(token);
    if (canInstall || !context->fallbackModel)
        co_return false;
    const bool modelServes = co_await context->fallbackModel->isAvailable(token);
    co_return modelServes;
}

QCoro::Task<void> ApertiumTranslationSession::prepareTranslation(CancelToken token) {
    token.throwIfCancelled();
    if (!m_configuration.source)
        co_return;
    const auto context = m_context;
    const QString source = ApertiumLanguages::canonical(*m_configuration.source);
    const QString target = m_target;
    const auto needed = ApertiumRoutes::packagesNeeded(context->modes(), source, target);
    if (!needed)
        throw DeviceTranslationError(noTranslatorMessage(source, target, false));
    if (needed->isEmpty())
        co_return;
    // Asked for a pack, say why it cannot come, even where the local model would translate.
    const bool canInstall = co_await context->installer.isPresent(token);
    if (!canInstall)
        throw PackageInstallError(PackageInstaller::absentMessage());
    co_await context->installer.install(*needed, token);
    if (!ApertiumRoutes::installedRoute(context->modes(), source, target))
        throw PackageInstallError(
            QStringLiteral("O pacote de idioma foi instalado, mas o tradutor não o encontrou."));
}

QCoro::Task<QString> ApertiumTranslationSession::translate(QString text, CancelToken token) {
    token.throwIfCancelled();
    const auto context = m_context;
    const QString target = m_target;
    const QString variant = m_variant;
    const auto modes = context->modes();

    QString source;
    if (m_configuration.source) {
        source = ApertiumLanguages::canonical(*m_configuration.source);
    } else {
        const QStringList candidates = context->detector.candidates(text);
        // Close guesses come together ("[pt][gl]"): take the first one a pair serves.
        for (const QString& candidate : candidates) {
            if (candidate == target ||
                ApertiumRoutes::installedRoute(modes, candidate, target, variant)) {
                source = candidate;
                break;
            }
        }
        if (source.isEmpty() && !candidates.isEmpty())
            source = candidates.constFirst();
    }

    if (!source.isEmpty() && source == target)
        co_return text; // already in that language
    if (!source.isEmpty()) {
        if (const auto route = ApertiumRoutes::installedRoute(modes, source, target, variant)) {
            QString result = std::move(text);
            for (const QString& mode : *route)
                result = co_await ApertiumProcess::run(context->process, context->scheduler, mode,
                                                       std::move(result), token);
            co_return result;
        }
    }
    // Awaited apart from the test: g++ 12 loses such a coroutine when the await sits in a
    // condition.
    bool modelServes = false;
    if (context->fallbackModel)
        modelServes = co_await context->fallbackModel->isAvailable(token);
    if (modelServes) {
        QString translated = co_await translateWithModel(std::move(text), token);
        co_return translated;
    }
    if (source.isEmpty())
        throw DeviceTranslationError(QStringLiteral(
            "Não foi possível reconhecer o idioma do texto para traduzir no aparelho."));
    const bool downloadable = ApertiumRoutes::packagesNeeded(modes, source, target).has_value();
    throw DeviceTranslationError(noTranslatorMessage(source, target, downloadable));
}

QCoro::Task<QString> ApertiumTranslationSession::translateWithModel(QString text,
                                                                    CancelToken token) {
    const std::unique_ptr<LanguageModelSession> session =
        m_context->fallbackModel->openSession(modelInstructions(m_configuration.target));
    co_return co_await session->respond(std::move(text), token);
}

} // namespace ovra
