// The settings file and the key file as found on disk: any content must load (or be moved
// aside) and read back without a crash.
#include "fuzz_support.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ovra;
    const QByteArray content = fuzz::bytes(data, size);

    DefaultsStore defaults(fuzz::writeScratchFile(QStringLiteral("defaults.json"), content));
    Prefs prefs(defaults, [] { return std::optional<QString>(); });
    (void)prefs.aiProvider();
    (void)prefs.targetLanguage();
    (void)prefs.ignoredApps();
    (void)prefs.hotKey();
    (void)prefs.baseURL(AIProvider::openai);
    (void)defaults.mapList(Prefs::Keys::ignoredApps);
    (void)defaults.stringList(Prefs::Keys::legacyIgnoredAppIds);

    KeyStore keys(fuzz::writeScratchFile(QStringLiteral("keys.json"), content), prefs,
                  QStringLiteral("builtin"));
    (void)keys.googleAPIKey();
    (void)keys.aiAPIKey(AIProvider::openai); // runs the one-time migration too
    return 0;
}
