#pragma once

#include "settings/catalogues.h"

#include <QString>

namespace ovra::PackLanguageNames {

// The name of a language-pack code ("zh-Hans", "pt", …) in the interface language `in`; the code
// itself when it is not one of the pack languages.
QString name(const QString& code, AppLanguage in);

} // namespace ovra::PackLanguageNames
