#pragma once

#include "engines/http_request.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/errors.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <exception>
#include <gtest/gtest.h>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stdexcept>

namespace ovra::test {

// Keys used by the engine tests; no error text may ever contain one of them.
inline const QString builtinGoogleKey = QStringLiteral("AIzaBuiltin-TestKey_0123456789abcdefghij");
inline const QString userGoogleKey = QStringLiteral("AIzaUser+Key&=/secret");
inline const QString aiKey = QStringLiteral("sk-test-secret-4242");

// Every error description the tests see passes through here.
inline void expectNoSecrets(const QString& description) {
    for (const QString& key : {builtinGoogleKey, userGoogleKey, aiKey}) {
        EXPECT_FALSE(description.contains(key)) << description.toStdString();
        EXPECT_FALSE(description.contains(QString::fromLatin1(QUrl::toPercentEncoding(key))))
            << description.toStdString();
    }
    EXPECT_FALSE(description.contains(QStringLiteral("127.0.0.1"))) << description.toStdString();
}

namespace detail {
template <typename T>
QCoro::Task<void> drive(QCoro::Task<T> task, std::optional<T>& result, std::exception_ptr& error,
                        bool& done, QEventLoop& loop) {
    try {
        result = co_await std::move(task);
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}
inline QCoro::Task<void> driveVoid(QCoro::Task<void> task, std::exception_ptr& error, bool& done,
                                   QEventLoop& loop) {
    try {
        co_await std::move(task);
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}
} // namespace detail

inline void runToEnd(QCoro::Task<void>&& task) {
    QEventLoop loop;
    std::exception_ptr error;
    bool done = false;
    detail::driveVoid(std::move(task), error, done, loop);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
}

// Runs the event loop until `task` ends and gives its result or rethrows its failure (unlike
// QCoro::waitFor, which never returns when the task throws).
template <typename T> T runToEnd(QCoro::Task<T>&& task) {
    QEventLoop loop;
    std::optional<T> result;
    std::exception_ptr error;
    bool done = false;
    detail::drive(std::move(task), result, error, done, loop);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

// Runs `task` to its end and returns the failure of type E it ended with.
template <typename E, typename T> E expectFailure(QCoro::Task<T>&& task) {
    try {
        runToEnd(std::move(task));
    } catch (const E& error) {
        if constexpr (std::is_base_of_v<Error, E>)
            expectNoSecrets(error.description());
        return error;
    } catch (const std::exception& other) {
        if (const auto* error = dynamic_cast<const Error*>(&other))
            expectNoSecrets(error->description());
        ADD_FAILURE() << "unexpected failure: " << other.what();
        throw;
    }
    throw std::logic_error("the task did not fail");
}

// Temporary settings and key store, wired like the real ones, and one HTTP client.
struct EngineEnvironment {
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [this] { return keys.resolvedGoogleKey(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, builtinGoogleKey};
    HttpClient http;

    void setAIKey(AIProvider provider, const QString& key) {
        keys.writeKey(key, KeyStore::aiAccount(provider));
    }
};

} // namespace ovra::test
