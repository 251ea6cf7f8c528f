// atspi.h first: its GLib headers use names that Qt's keywords would take.
#include <atspi/atspi.h>

#include "support/accessible_tree.h"

#include <QList>
#include <QTextBoundaryFinder>
#include <deque>
#include <memory>

namespace ovra::e2e {

namespace {

QString takeString(gchar* text) {
    const QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

// An interface of an accessibility object, released with the scope.
struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
using TextIface = std::unique_ptr<AtspiText, Unref>;

TextIface textIface(const Accessible& element) {
    return TextIface(element ? atspi_accessible_get_text_iface(element.get()) : nullptr);
}

// A box libatspi returned, released; nothing for an empty one.
std::optional<QRect> takeRect(AtspiRect* rect) {
    if (!rect)
        return std::nullopt;
    const QRect result(rect->x, rect->y, rect->width, rect->height);
    g_free(rect);
    return result.isEmpty() ? std::nullopt : std::optional<QRect>(result);
}

std::optional<QRect> extentsOf(AtspiAccessible* object, AtspiCoordType coordinates) {
    const std::unique_ptr<AtspiComponent, Unref> component(
        object ? atspi_accessible_get_component_iface(object) : nullptr);
    return component ? takeRect(atspi_component_get_extents(component.get(), coordinates, nullptr))
                     : std::nullopt;
}

bool hasStates(AtspiAccessible* object, std::initializer_list<AtspiStateType> wanted) {
    AtspiStateSet* states = object ? atspi_accessible_get_state_set(object) : nullptr;
    if (!states)
        return false;
    bool all = true;
    for (const AtspiStateType state : wanted)
        all = all && atspi_state_set_contains(states, state);
    g_object_unref(states);
    return all;
}

Accessible childAt(const Accessible& parent, int index) {
    return Accessible(atspi_accessible_get_child_at_index(parent.get(), index, nullptr));
}

int childCount(const Accessible& element) {
    return atspi_accessible_get_child_count(element.get(), nullptr);
}

Accessible findTextView(const Accessible& element, int depth) {
    if (!element || depth > 30)
        return Accessible();
    if (hasStates(element.get(), {ATSPI_STATE_EDITABLE, ATSPI_STATE_MULTI_LINE}) &&
        textIface(element))
        return element;
    for (int i = 0; i < childCount(element) && i < 200; ++i) {
        if (Accessible found = findTextView(childAt(element, i), depth + 1))
            return found;
    }
    return Accessible();
}

// The offsets of the first `word` in `text`, as the application counts them: code points (GTK)
// or UTF-16 units (Qt's bridge); the pair that reads back the word.
std::optional<std::pair<int, int>> wordOffsets(const Accessible& text, const QString& word) {
    const QString all = textOf(text);
    const qsizetype at = all.indexOf(word);
    const TextIface iface = at >= 0 ? textIface(text) : nullptr;
    const int points = int(all.left(at).toUcs4().size());
    const std::pair<int, int> candidates[] = {{points, points + int(word.toUcs4().size())},
                                              {int(at), int(at + word.size())}};
    for (const auto& [start, end] : candidates) {
        if (iface && takeString(atspi_text_get_text(iface.get(), start, end, nullptr)) == word)
            return std::make_pair(start, end);
    }
    return std::nullopt;
}

} // namespace

Accessible::Accessible(const Accessible& other)
    : m_object(other.m_object ? static_cast<AtspiAccessible*>(g_object_ref(other.m_object))
                              : nullptr) {}

Accessible& Accessible::operator=(Accessible other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
}

Accessible::~Accessible() {
    if (m_object)
        g_object_unref(m_object);
}

QString Accessible::name() const {
    return m_object ? takeString(atspi_accessible_get_name(m_object, nullptr)) : QString();
}

QString Accessible::roleName() const {
    return m_object ? takeString(atspi_accessible_get_role_name(m_object, nullptr)) : QString();
}

bool Accessible::isShowing() const {
    return hasStates(m_object, {ATSPI_STATE_SHOWING});
}

std::optional<QRect> Accessible::screenExtents() const {
    return extentsOf(m_object, ATSPI_COORD_TYPE_SCREEN);
}

Accessible applicationOf(qint32 pid) {
    const Accessible desktop(atspi_get_desktop(0));
    for (int i = 0; desktop && i < childCount(desktop); ++i) {
        Accessible child = childAt(desktop, i);
        if (child && qint32(atspi_accessible_get_process_id(child.get(), nullptr)) == pid)
            return child;
    }
    return Accessible();
}

void walkShowing(qint32 pid, const std::function<bool(const Accessible&, int depth)>& visit) {
    std::deque<std::pair<Accessible, int>> queue;
    queue.emplace_back(applicationOf(pid), 0);
    if (!queue.front().first)
        return;
    // Bounded: the program's windows are small, and a runaway tree must not hang a test.
    for (int visited = 0; !queue.empty() && visited < 3000; ++visited) {
        const auto [element, depth] = queue.front();
        queue.pop_front();
        if (visited > 0 && !element.isShowing())
            continue;
        if (visit(element, depth))
            return;
        for (int i = 0; i < childCount(element) && i < 500; ++i) {
            if (Accessible child = childAt(element, i))
                queue.emplace_back(std::move(child), depth + 1);
        }
    }
}

Accessible textViewOf(qint32 pid) {
    return findTextView(applicationOf(pid), 0);
}

QString textOf(const Accessible& text) {
    const TextIface iface = textIface(text);
    return iface
               ? takeString(atspi_text_get_text(
                     iface.get(), 0, atspi_text_get_character_count(iface.get(), nullptr), nullptr))
               : QString();
}

QString selectedTextOf(const Accessible& text) {
    const TextIface iface = textIface(text);
    AtspiRange* range = iface && atspi_text_get_n_selections(iface.get(), nullptr) > 0
                            ? atspi_text_get_selection(iface.get(), 0, nullptr)
                            : nullptr;
    if (!range)
        return {};
    const QString result = takeString(
        atspi_text_get_text(iface.get(), range->start_offset, range->end_offset, nullptr));
    g_free(range);
    return result;
}

std::optional<QSize> toplevelSizeOf(const Accessible& text) {
    // The child of the application the text lies in.
    Accessible top = text;
    for (int depth = 0; top && depth < 50; ++depth) {
        Accessible parent(atspi_accessible_get_parent(top.get(), nullptr));
        if (!parent || atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_APPLICATION)
            break;
        top = parent;
    }
    const auto box = extentsOf(top.get(), ATSPI_COORD_TYPE_WINDOW);
    return box ? std::optional<QSize>(box->size()) : std::nullopt;
}

bool isFocused(const Accessible& text) {
    return hasStates(text.get(), {ATSPI_STATE_FOCUSED});
}

bool selectWord(const Accessible& text, const QString& word) {
    const auto offsets = wordOffsets(text, word);
    const TextIface iface = offsets ? textIface(text) : nullptr;
    if (!iface)
        return false;
    return atspi_text_get_n_selections(iface.get(), nullptr) > 0
               ? atspi_text_set_selection(iface.get(), 0, offsets->first, offsets->second, nullptr)
               : atspi_text_add_selection(iface.get(), offsets->first, offsets->second, nullptr);
}

bool clearSelectionOf(const Accessible& text) {
    const TextIface iface = textIface(text);
    while (iface && atspi_text_get_n_selections(iface.get(), nullptr) > 0) {
        if (!atspi_text_remove_selection(iface.get(), 0, nullptr))
            break;
    }
    return iface && atspi_text_get_n_selections(iface.get(), nullptr) <= 0;
}

std::optional<QRect> wordBoxInWindow(const Accessible& text, const QString& word) {
    const auto offsets = wordOffsets(text, word);
    const TextIface iface = offsets ? textIface(text) : nullptr;
    // The glyphs' own boxes: toolkits differ in what a range's box adds around them.
    QRect united;
    for (int offset = offsets->first; iface && offset < offsets->second; ++offset)
        united |= takeRect(atspi_text_get_character_extents(iface.get(), offset,
                                                            ATSPI_COORD_TYPE_WINDOW, nullptr))
                      .value_or(QRect());
    return united.isEmpty() ? std::nullopt : std::optional<QRect>(united);
}

bool setTextOf(const Accessible& text, const QString& contents) {
    const std::unique_ptr<AtspiEditableText, Unref> iface(
        text ? atspi_accessible_get_editable_text_iface(text.get()) : nullptr);
    return iface && atspi_editable_text_set_text_contents(iface.get(),
                                                          contents.toUtf8().constData(), nullptr);
}

int graphemesIn(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace ovra::e2e
