#include "settings/l10n.h"

#include "settings/l10n_tables.h"
#include "settings/prefs.h"

namespace ovra::L10n {

namespace {

const detail::Table& tableFor(AppLanguage language) {
    switch (language) {
    case AppLanguage::portugues:
        return detail::portuguese();
    case AppLanguage::english:
        return detail::english();
    case AppLanguage::espanol:
        return detail::spanish();
    case AppLanguage::francais:
        return detail::french();
    case AppLanguage::deutsch:
        return detail::german();
    case AppLanguage::italiano:
        return detail::italian();
    }
    return detail::portuguese();
}

} // namespace

QString string(const QString& key) {
    return string(key, Prefs::shared().appLanguage());
}

QString string(const QString& key, AppLanguage language) {
    if (language != AppLanguage::portugues) {
        const auto& table = tableFor(language);
        if (const auto it = table.constFind(key); it != table.constEnd())
            return *it;
    }
    const auto& base = detail::portuguese();
    if (const auto it = base.constFind(key); it != base.constEnd())
        return *it;
    return key;
}

} // namespace ovra::L10n
