#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace ovra {

// Qt 6.4's accessible scroll area hands out a child by an index it does not check. A screen
// reader that counted the children just before a scroll bar hid asks for one that is gone, and
// the program reads past the list and crashes. Scroll areas are given a plain widget interface
// instead, whose children are all the area's child widgets and whose look-ups are checked.
// Install once, right after the application object exists, before any interface is made.
void installScrollAreaAccessible();

// The factory itself, for tests: an interface for a scroll area named `className`, else null.
QAccessibleInterface* scrollAreaAccessible(const QString& className, QObject* object);

} // namespace ovra
