// Another process's accessibility tree read straight from libatspi, as a user's assistive tool
// would: the tests check what the program and the target applications publish without going
// through the platform layer under test.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

using AtspiAccessible = struct _AtspiAccessible;

namespace ovra::e2e {

// An accessibility object held for the length of a scope.
class Accessible {
public:
    explicit Accessible(AtspiAccessible* object = nullptr) : m_object(object) {}
    Accessible(const Accessible& other);
    Accessible& operator=(Accessible other) noexcept;
    ~Accessible();
    AtspiAccessible* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    QString name() const;
    QString roleName() const;
    bool isShowing() const;
    // Screen coordinates; nothing without a component or with an empty box.
    std::optional<QRect> screenExtents() const;

private:
    AtspiAccessible* m_object;
};

// The application of process `pid` on the accessibility bus; null while it is not there.
Accessible applicationOf(qint32 pid);
// Breadth-first through the showing part of the application's tree (the root always), with each
// element's depth, until `visit` returns true.
void walkShowing(qint32 pid, const std::function<bool(const Accessible&, int depth)>& visit);

// The multi-line editable text of the application with process `pid`, once it is there.
Accessible textViewOf(qint32 pid);
QString textOf(const Accessible& text);
QString selectedTextOf(const Accessible& text);
bool isFocused(const Accessible& text);
// The size of the top level holding `text`: where the toolkit's own coordinates end.
std::optional<QSize> toplevelSizeOf(const Accessible& text);
// Selects the first `word` in `text` over the accessibility bus; false when it is not there.
bool selectWord(const Accessible& text, const QString& word);
// Takes away every selection of `text`; false when it had one and kept it.
bool clearSelectionOf(const Accessible& text);
// The box of the first `word` relative to the window (Wayland gives no screen coordinates).
std::optional<QRect> wordBoxInWindow(const Accessible& text, const QString& word);
bool setTextOf(const Accessible& text, const QString& contents);
// How many characters the user sees in `text` (grapheme clusters): an arrow key moves over one.
int graphemesIn(const QString& text);

} // namespace ovra::e2e
