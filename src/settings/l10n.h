#pragma once

#include "settings/catalogues.h"

#include <QString>

namespace ovra::L10n {

// The text of a dotted key ("panel.translate") in the interface language set under
// "appLanguage" (else the system default), read on every call. Falls back to Portuguese, then to
// the key itself. Callable from any thread.
QString string(const QString& key);
// The same lookup in an explicit language.
QString string(const QString& key, AppLanguage language);

} // namespace ovra::L10n
