#pragma once

#include "engines/http_request.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/errors.h"
#include "support/task_runner.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra::test {

// Keys used by the engine tests; no error text may ever contain one of them.
inline const QString builtinGoogleKey = QStringLiteral("AIzaBuiltin-TestKey_0123456789abcdefghij");
inline const QString userGoogleKey = QStringLiteral("AIzaUser+Key&=/secret");
inline const QString aiKey = QStringLiteral("sk-test-secret-4242");

// A loopback address where nothing listens: the port is taken, then given back.
inline QUrl closedLoopbackUrl() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

// Every error description the tests see passes through here.
inline void expectNoSecrets(const QString& description) {
    for (const QString& key : {builtinGoogleKey, userGoogleKey, aiKey}) {
        EXPECT_FALSE(description.contains(key)) << description.toStdString();
        EXPECT_FALSE(description.contains(QString::fromLatin1(QUrl::toPercentEncoding(key))))
            << description.toStdString();
    }
    EXPECT_FALSE(description.contains(QStringLiteral("127.0.0.1"))) << description.toStdString();
}

// Runs `task` to its end and returns the failure of type E it ended with, whose text holds no key.
template <typename E, typename T> E expectFailure(QCoro::Task<T>&& task) {
    E error = failureOf<E>(std::move(task));
    if constexpr (std::is_base_of_v<Error, E>)
        expectNoSecrets(error.description());
    return error;
}

// Temporary settings and key store, wired like the real ones, and one HTTP client.
struct EngineEnvironment {
    explicit EngineEnvironment(const QString& builtinKey = builtinGoogleKey)
        : keys(dir.filePath(QStringLiteral("keys.json")), prefs, builtinKey) {}

    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [this] { return keys.resolvedGoogleKey(); }};
    KeyStore keys;
    HttpClient http;

    void setAIKey(AIProvider provider, const QString& key) {
        keys.writeKey(key, KeyStore::aiAccount(provider));
    }
};

} // namespace ovra::test
