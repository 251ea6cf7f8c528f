#pragma once

#include "ondevice/apertium/apertium_translation_context.h"

#include <memory>

namespace ovra {

// One translation session for one configuration; see ApertiumTranslationService.
class ApertiumTranslationSession final : public TranslationSession {
public:
    ApertiumTranslationSession(std::shared_ptr<ApertiumTranslationService::Context> context,
                               TranslationConfiguration configuration);

    // With a source: whether the installed pairs reach the target, or nothing is to be
    // downloaded (no package serves the pair, or there is no package service and the local model
    // stands in). Without one: the languages are only known from the text, so the session is
    // ready and `translate` says what is missing.
    QCoro::Task<bool> isReady(CancelToken token) override;
    // Installs the packages the pair needs; without the package service, says so.
    QCoro::Task<void> prepareTranslation(CancelToken token) override;
    QCoro::Task<QString> translate(QString text, CancelToken token) override;

    // The text that says no installed translator goes from `source` to `target`.
    static QString noTranslatorMessage(const QString& source, const QString& target,
                                       bool downloadable);

private:
    QCoro::Task<QString> translateWithModel(QString text, CancelToken token);

    std::shared_ptr<ApertiumTranslationService::Context> m_context;
    TranslationConfiguration m_configuration;
    QString m_target;  // canonical
    QString m_variant; // Apertium variant the target asks for
};

} // namespace ovra
