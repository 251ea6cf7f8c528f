#include "support/isolated_environment.h"

#include <QDir>
#include <cstdlib>

namespace ovra::test {

IsolatedEnvironment::IsolatedEnvironment() {
    const auto set = [this](const char* name, const char* sub) {
        const QString path = m_root.path() + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(path);
        ::setenv(name, QFile::encodeName(path).constData(), 1);
    };
    set("HOME", "home");
    set("XDG_CONFIG_HOME", "config");
    set("XDG_DATA_HOME", "data");
    set("XDG_CACHE_HOME", "cache");
    set("XDG_STATE_HOME", "state");
    // Tests pick their language explicitly; the machine's locale must not leak in.
    ::setenv("LANGUAGE", "pt_BR", 1);
}

} // namespace ovra::test
