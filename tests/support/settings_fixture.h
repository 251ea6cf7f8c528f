#pragma once

#include "settings/key_store.h"
#include "settings/prefs.h"

#include <QTemporaryDir>
#include <memory>

namespace ovra::test {

// Settings and a key store in a private temporary folder, like one fresh installation.
struct TempSettings {
    explicit TempSettings(const QString& builtinGoogleKey = QStringLiteral("BUILTIN-KEY"))
        : defaults(dir.filePath(QStringLiteral("defaults.json"))),
          prefs(defaults, [this] { return keys->resolvedGoogleKey(); }),
          keys(std::make_unique<KeyStore>(dir.filePath(QStringLiteral("data/keys.json")), prefs,
                                          builtinGoogleKey)) {}

    QTemporaryDir dir;
    DefaultsStore defaults;
    Prefs prefs;
    std::unique_ptr<KeyStore> keys;
};

} // namespace ovra::test
