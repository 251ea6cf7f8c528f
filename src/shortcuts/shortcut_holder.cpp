#include "shortcuts/shortcut_holder.h"

namespace ovra {

void ShortcutHolder::set(Kind kind, const QString& trigger) {
    if (kind == m_kind && trigger == m_trigger)
        return;
    m_kind = kind;
    m_trigger = trigger;
    Q_EMIT changed();
}

} // namespace ovra
