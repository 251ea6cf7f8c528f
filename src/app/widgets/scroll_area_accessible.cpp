#include "app/widgets/scroll_area_accessible.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>

namespace ovra {

QAccessibleInterface* scrollAreaAccessible(const QString& className, QObject* object) {
    // Only the names Qt's own factory answers with the unchecked interface; item views and text
    // editors are matched by their more derived names before these are reached.
    if (className != u"QScrollArea" && className != u"QAbstractScrollArea")
        return nullptr;
    auto* area = qobject_cast<QAbstractScrollArea*>(object);
    return area ? new QAccessibleWidget(area, QAccessible::Client) : nullptr;
}

void installScrollAreaAccessible() {
    // The factory installed last is asked first, ahead of Qt's own.
    QAccessible::installFactory(scrollAreaAccessible);
}

} // namespace ovra
