#include "engines/text_engines.h"

#include "engines/reformulator.h"

namespace ovra {

QCoro::Task<QString> OnlineEngine::translate(QString text, TargetLanguage target,
                                             CancelToken token) {
    co_return co_await m_client.translate(std::move(text), std::move(target), std::move(token));
}

QCoro::Task<QString> OnlineEngine::reformulate(QString text, CancelToken token) {
    co_return co_await m_client.reformulate(std::move(text), std::move(token));
}

QCoro::Task<QString> GoogleTranslationEngine::translate(QString text, TargetLanguage target,
                                                        CancelToken token) {
    co_return co_await m_client.translate(std::move(text), std::move(target), std::move(token));
}

QCoro::Task<QString> LocalTranslationEngine::translate(QString text, TargetLanguage target,
                                                       CancelToken token) {
    co_return co_await m_coordinator.translate(std::move(text), std::move(target),
                                               std::move(token));
}

QCoro::Task<QString> LocalReformulationEngine::reformulate(QString text, CancelToken token) {
    co_return co_await Reformulator::reformulateWithLocalModel(m_model, std::move(text),
                                                               std::move(token));
}

} // namespace ovra
