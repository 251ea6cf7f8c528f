#pragma once

#include "support/cancellation.h"

#include <QString>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra {

// The device's own language services, as the engines use them. The Linux implementations (a
// local model server, Apertium with PackageKit) live in the platform layer; tests use fakes.
//
// Every operation runs on the main thread and suspends instead of blocking. Failures are thrown:
// an ovra::Error carries a text fit to show the user; CancelledError means the token was
// cancelled, and an operation whose token is cancelled ends with it promptly.

// A conversation with the device's language model. It keeps the instructions it was opened with
// and every answered turn, so later prompts see the earlier ones.
class LanguageModelSession {
public:
    virtual ~LanguageModelSession() = default;

    // Sends `prompt` as the next user turn with the service's default generation options and
    // gives the reply as produced (untrimmed). A failed turn leaves the conversation unchanged.
    virtual QCoro::Task<QString> respond(QString prompt, CancelToken token) = 0;
};

// The device's default language model.
class LanguageModel {
public:
    virtual ~LanguageModel() = default;

    // Whether the model can answer now; any reason for not being able to counts as false. Never
    // throws anything but CancelledError.
    virtual QCoro::Task<bool> isAvailable(CancelToken token) = 0;

    // A new conversation with no tools and the given instructions. Opening is cheap and does not
    // touch the model; the first `respond` does.
    virtual std::unique_ptr<LanguageModelSession> openSession(QString instructions) = 0;
};

// What a translation session is made for: a pair of language codes as the target-language
// catalogue spells them ("pt", "zh-TW", "mni-Mtei"). An absent source means "detect it from the
// text".
// `invalidate()` asks for a new session with the same languages.
struct TranslationConfiguration {
    std::optional<QString> source;
    QString target;
    quint64 generation = 0;

    void invalidate() { ++generation; }
    bool sameLanguages(const TranslationConfiguration& other) const {
        return source == other.source && target == other.target;
    }
    bool operator==(const TranslationConfiguration&) const = default;
};

// One on-device translation session for one configuration.
class TranslationSession {
public:
    virtual ~TranslationSession() = default;

    // Whether the language assets this session needs are present.
    virtual QCoro::Task<bool> isReady(CancelToken token) = 0;
    // Obtains the assets (a system download that may ask the user, and may take minutes).
    virtual QCoro::Task<void> prepareTranslation(CancelToken token) = 0;
    // The translation of `text`, as the translator gives it (not trimmed).
    virtual QCoro::Task<QString> translate(QString text, CancelToken token) = 0;
};

enum class LanguageAvailabilityStatus { installed, supported, unsupported };

// The device's translator.
class TranslationService {
public:
    virtual ~TranslationService() = default;

    virtual std::unique_ptr<TranslationSession>
    makeSession(const TranslationConfiguration& configuration) = 0;

    // The language `text` is in, as this translator would take it for translating into
    // `target`; nothing when it cannot tell. A session made for that pair knows whether assets
    // are missing before it translates.
    virtual std::optional<QString> detectSource(const QString& text, const QString& target) {
        Q_UNUSED(text);
        Q_UNUSED(target);
        return std::nullopt;
    }

    // Whether translating from `source` to `target` works now (installed), can after a download
    // (supported), or cannot (unsupported). Never throws anything but CancelledError.
    virtual QCoro::Task<LanguageAvailabilityStatus> status(QString source, QString target,
                                                           CancelToken token) = 0;
};

} // namespace ovra
