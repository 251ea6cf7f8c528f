#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/accessibility_status.h"
#include "platform/linux/atspi/atspi_element.h"
#include "platform/linux/atspi/editable_text_write.h"

#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <unistd.h>
#include <utility>

namespace ovra::platform {

namespace {

// Frees one libatspi interface or object reference at the end of a scope.
struct GObjectRelease {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GRef = std::unique_ptr<T, GObjectRelease>;

// How many focused elements, one inside the other, the focus search follows inwards. LibreOffice
// marks its document view focused as well as the paragraph with the caret inside it, and KWrite
// four containers (its tab among them) around its editor; the first focused element with text is
// the one.
constexpr int maxFocusedLevels = 8;

// The first focused descendant of `scope` in the toolkit's own order, asked through its
// Collection interface; null without one, or when none is focused.
GRef<AtspiAccessible> firstFocusedWithin(AtspiAccessible* scope) {
    GRef<AtspiCollection> collection{atspi_accessible_get_collection_iface(scope)};
    if (!collection)
        return {};
    GRef<AtspiStateSet> wanted(atspi_state_set_new(nullptr));
    atspi_state_set_add(wanted.get(), ATSPI_STATE_FOCUSED);
    GRef<AtspiMatchRule> rule(atspi_match_rule_new(
        wanted.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
        ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
    GError* error = nullptr;
    GArray* matches = atspi_collection_get_matches(
        collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
    g_clear_error(&error);
    GRef<AtspiAccessible> first;
    if (matches) {
        for (guint i = 0; i < matches->len; ++i) {
            auto* match = g_array_index(matches, AtspiAccessible*, i);
            if (!first && match != scope)
                first.reset(match);
            else
                g_object_unref(match);
        }
        g_array_free(matches, TRUE);
    }
    return first;
}

bool hasTextInterface(AtspiAccessible* accessible) {
    return GRef<AtspiText>(atspi_accessible_get_text_iface(accessible)) != nullptr;
}

// The focused element below `scope`, followed inwards level by level while the one found has no
// text; null when its toolkit has no Collection interface or nothing below it is focused.
GRef<AtspiAccessible> innermostFocusedWithin(AtspiAccessible* scope) {
    GRef<AtspiAccessible> found;
    for (int level = 0; level < maxFocusedLevels; ++level) {
        GRef<AtspiAccessible> inner = firstFocusedWithin(found ? found.get() : scope);
        if (!inner)
            break;
        found = std::move(inner);
        if (hasTextInterface(found.get()))
            break;
    }
    return found;
}

// Set when a call of this thread ran into libatspi's per-call time-out.
thread_local bool callTimedOut = false;

bool isTimeout(const GError* error) {
    const char* message = error && error->message ? error->message : "";
    return std::strstr(message, "NoReply") || std::strstr(message, "Did not receive a reply") ||
           std::strstr(message, "imeout") || std::strstr(message, "timed out");
}

// Collects the error of one libatspi call and says what it means for the caller.
class CallError {
public:
    CallError() = default;
    ~CallError() { clear(); }
    CallError(const CallError&) = delete;
    CallError& operator=(const CallError&) = delete;

    GError** out() {
        clear();
        return &m_error;
    }
    bool failed() const { return m_error != nullptr; }
    AccessStatus status() const {
        if (!m_error)
            return AccessStatus::Success;
        if (isTimeout(m_error))
            return AccessStatus::TimedOut;
        // The application answers with UnknownObject (or the bus with ServiceUnknown) once the
        // element or its application is gone.
        const char* message = m_error->message ? m_error->message : "";
        if (std::strstr(message, "UnknownObject") || std::strstr(message, "ServiceUnknown") ||
            std::strstr(message, "does not exist")) {
            return AccessStatus::InvalidElement;
        }
        return AccessStatus::Failure;
    }

private:
    void clear() {
        if (m_error && isTimeout(m_error))
            callTimedOut = true;
        g_clear_error(&m_error);
    }

    GError* m_error = nullptr;
};

QString fromUtf8(gchar* owned) {
    QString result = owned ? QString::fromUtf8(owned) : QString();
    g_free(owned);
    return result;
}

bool hasState(AtspiAccessible* accessible, AtspiStateType state) {
    GRef<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state);
}

QRectF rectOf(const AtspiRect* rect) {
    return QRectF(rect->x, rect->y, rect->width, rect->height);
}

AtspiAccessible* desktop() {
    return atspi_get_desktop(0);
}

// This program's own windows are on the bus too, but a call to them would wait for an answer
// only this (blocked) thread can give, until the bus times out: they are never read.
bool isOwnProcess(AtspiAccessible* accessible) {
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(accessible, &error);
    g_clear_error(&error);
    return pid == static_cast<guint>(::getpid());
}

} // namespace

AtspiAccessibilityServices::AtspiAccessibilityServices(std::function<qint32(QPointF)> windowOwnerAt,
                                                       WindowAreaOf windowArea, Extents extents,
                                                       PixelScaling scaling)
    : m_windowOwnerAt(std::move(windowOwnerAt)), m_windowArea(std::move(windowArea)),
      m_extents(extents), m_scaling(std::move(scaling)) {}

AtspiAccessibilityServices::~AtspiAccessibilityServices() {
    if (m_focusListener) {
        atspi_event_listener_deregister(m_focusListener, "object:state-changed:focused", nullptr);
        g_object_unref(m_focusListener);
    }
    if (m_selectionListener) {
        atspi_event_listener_deregister(m_selectionListener, "object:text-selection-changed",
                                        nullptr);
        g_object_unref(m_selectionListener);
    }
    if (m_activationListener) {
        atspi_event_listener_deregister(m_activationListener, "window:activate", nullptr);
        g_object_unref(m_activationListener);
    }
}

void AtspiAccessibilityServices::ensureStarted() {
    if (m_focusListener)
        return;
    atspi_init();
    m_focusListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onFocusEvent, this, nullptr);
    atspi_event_listener_register(m_focusListener, "object:state-changed:focused", nullptr);
    m_selectionListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onSelectionEvent, this, nullptr);
    atspi_event_listener_register(m_selectionListener, "object:text-selection-changed", nullptr);
    m_activationListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onActivationEvent, this, nullptr);
    atspi_event_listener_register(m_activationListener, "window:activate", nullptr);
}

void AtspiAccessibilityServices::onActivationEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source && services->m_activationListenerCallback) {
        GError* error = nullptr;
        const guint pid = atspi_accessible_get_process_id(event->source, &error);
        g_clear_error(&error);
        if (pid != 0)
            services->m_activationListenerCallback(static_cast<qint32>(pid));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiAccessibilityServices::onSelectionEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source) {
        // Asks the bus, not the application, which process sent it.
        GError* error = nullptr;
        const guint pid = atspi_accessible_get_process_id(event->source, &error);
        g_clear_error(&error);
        if (pid != 0 && pid != static_cast<guint>(::getpid())) {
            services->m_lastSelectionChanged.insert(
                static_cast<qint32>(pid),
                SelectionEvent{AtspiElementHandle::adopt(g_object_ref(event->source)),
                               ++services->m_selectionSerial});
            if (services->m_selectionListenerCallback)
                services->m_selectionListenerCallback(static_cast<qint32>(pid));
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

SelectionEvent AtspiAccessibilityServices::lastSelectionEvent(qint32 pid) {
    ensureStarted();
    return m_lastSelectionChanged.value(pid);
}

bool AtspiAccessibilityServices::takeTimedOut() {
    return std::exchange(callTimedOut, false);
}

void AtspiAccessibilityServices::onFocusEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source) {
        if (event->detail1) {
            services->m_lastFocused = AtspiElementHandle::adopt(g_object_ref(event->source));
            GError* error = nullptr;
            const guint pid = atspi_accessible_get_process_id(event->source, &error);
            g_clear_error(&error);
            if (pid != 0) {
                // Bounded: applications come and go over a session.
                if (services->m_lastFocusedByProcess.size() >= maxRememberedProcesses)
                    services->m_lastFocusedByProcess.clear();
                services->m_lastFocusedByProcess.insert(static_cast<qint32>(pid),
                                                        services->m_lastFocused);
            }
        } else if (AtspiElementHandle::of(services->m_lastFocused) == event->source) {
            services->m_lastFocused = {};
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AccessibleElement AtspiAccessibilityServices::applicationElement(qint32 pid) {
    if (pid <= 0 || pid == static_cast<qint32>(::getpid()))
        return {};
    ensureStarted();
    GRef<AtspiAccessible> root(desktop());
    if (!root)
        return {};
    CallError error;
    const gint count = atspi_accessible_get_child_count(root.get(), error.out());
    for (gint i = 0; i < count; ++i) {
        GRef<AtspiAccessible> application(
            atspi_accessible_get_child_at_index(root.get(), i, error.out()));
        if (!application)
            continue;
        const guint owner = atspi_accessible_get_process_id(application.get(), error.out());
        if (!error.failed() && static_cast<qint32>(owner) == pid) {
            return AtspiElementHandle::adopt(application.release());
        }
    }
    return {};
}

AccessResult<AccessibleElement> AtspiAccessibilityServices::systemFocusedElement() {
    ensureStarted();
    AtspiAccessible* focused = AtspiElementHandle::of(m_lastFocused);
    // Focus events can be missed (an application that started before us); a stale element is
    // worse than none, so the element must still say it has the focus.
    if (focused && !isOwnProcess(focused) && hasState(focused, ATSPI_STATE_FOCUSED)) {
        return AccessResult<AccessibleElement>::success(m_lastFocused);
    }
    return AccessResult<AccessibleElement>::success({});
}

AccessResult<AccessibleElement>
AtspiAccessibilityServices::focusedElement(const AccessibleElement& application) {
    AtspiAccessible* app = AtspiElementHandle::of(application);
    if (!app)
        return AccessResult<AccessibleElement>::failure(AccessStatus::InvalidElement);

    CallError error;
    // Warm path: the focus event already named an element of this application.
    if (AtspiAccessible* focused = AtspiElementHandle::of(m_lastFocused)) {
        GRef<AtspiAccessible> owner(atspi_accessible_get_application(focused, error.out()));
        if (owner && owner.get() == app && hasState(focused, ATSPI_STATE_FOCUSED)) {
            if (GRef<AtspiAccessible> inner =
                    hasTextInterface(focused) ? nullptr : innermostFocusedWithin(focused))
                return AccessResult<AccessibleElement>::success(
                    AtspiElementHandle::adopt(inner.release()));
            return AccessResult<AccessibleElement>::success(m_lastFocused);
        }
    }

    // The active top-level window; a plain Qt window is a filler rather than a frame, so the
    // state decides, not the role.
    GRef<AtspiAccessible> activeWindow;
    const gint windowCount = atspi_accessible_get_child_count(app, error.out());
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    for (gint i = 0; i < windowCount && !activeWindow; ++i) {
        GRef<AtspiAccessible> window(atspi_accessible_get_child_at_index(app, i, error.out()));
        if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
            activeWindow = std::move(window);
    }
    if (!activeWindow)
        return rememberedFocus(app);

    // Where the toolkit searches its own tree (GTK has Collection, Qt has not): one round trip,
    // and one more per focused level below the first.
    if (GRef<AtspiAccessible> found = innermostFocusedWithin(activeWindow.get()))
        return AccessResult<AccessibleElement>::success(AtspiElementHandle::adopt(found.release()));

    // A bounded breadth-first walk, not entering containers that manage their descendants
    // (tables and lists with thousands of virtual children). The inside of a focused element
    // without text goes first, the more focused elements around it the sooner; the rest of the
    // window stays queued, since some toolkits (Qt 5's KDE views) leave another branch marked
    // focused as well.
    struct Queued {
        GRef<AtspiAccessible> node;
        int depth;
    };
    std::array<std::deque<Queued>, maxFocusedLevels + 1> queues;
    queues[0].push_back(
        {GRef<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(activeWindow.get()))),
         0});
    int visited = 0;
    int focusedLevel = 0;
    GRef<AtspiAccessible> focused;
    for (;;) {
        auto level = static_cast<int>(queues.size()) - 1;
        while (level >= 0 && queues[level].empty())
            --level;
        if (level < 0 || visited >= maxFocusSearchVisits)
            break;
        auto [node, depth] = std::move(queues[level].front());
        queues[level].pop_front();
        ++visited;
        GRef<AtspiStateSet> states(atspi_accessible_get_state_set(node.get()));
        if (!states)
            continue;
        if (atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)) {
            if (hasTextInterface(node.get()))
                return AccessResult<AccessibleElement>::success(
                    AtspiElementHandle::adopt(node.release()));
            level = std::min(level + 1, maxFocusedLevels);
            if (level > focusedLevel) {
                focusedLevel = level;
                focused =
                    GRef<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(node.get())));
            }
        }
        if (depth >= maxFocusSearchDepth ||
            atspi_state_set_contains(states.get(), ATSPI_STATE_MANAGES_DESCENDANTS)) {
            continue;
        }
        const gint count = atspi_accessible_get_child_count(node.get(), error.out());
        for (gint i = 0; i < count; ++i) {
            if (AtspiAccessible* child =
                    atspi_accessible_get_child_at_index(node.get(), i, error.out())) {
                queues[level].push_back({GRef<AtspiAccessible>(child), depth + 1});
            }
        }
    }
    if (focused)
        return AccessResult<AccessibleElement>::success(
            AtspiElementHandle::adopt(focused.release()));
    return rememberedFocus(app);
}

AccessResult<AccessibleElement> AtspiAccessibilityServices::rememberedFocus(AtspiAccessible* app) {
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(app, &error);
    g_clear_error(&error);
    const AccessibleElement remembered = m_lastFocusedByProcess.value(static_cast<qint32>(pid));
    if (!remembered)
        return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);
    return AccessResult<AccessibleElement>::success(remembered);
}

namespace {

// How many children of one element are asked whether they hold a point, where the element itself
// does not say which does.
constexpr int maxPointChildren = 64;

// The showing child of `parent` whose extents hold the point, else a showing child without
// extents to look inside (GTK 3's notebook pages have none); null when neither is there.
AtspiAccessible* childHolding(AtspiAccessible* parent, int x, int y) {
    const gint count =
        std::min(atspi_accessible_get_child_count(parent, nullptr), maxPointChildren);
    GRef<AtspiAccessible> withoutExtents;
    for (gint i = 0; i < count; ++i) {
        GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(parent, i, nullptr));
        if (!child || !hasState(child.get(), ATSPI_STATE_SHOWING))
            continue;
        GRef<AtspiComponent> component(atspi_accessible_get_component_iface(child.get()));
        // A failed call answers a rectangle of -1s.
        AtspiRect* extents =
            component
                ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr)
                : nullptr;
        const bool known = extents && extents->width >= 0 && extents->height >= 0;
        const QRect area = known ? rectOf(extents).toRect() : QRect();
        g_free(extents);
        if (!known) {
            if (!withoutExtents)
                withoutExtents = std::move(child);
        } else if (area.contains(x, y)) {
            return child.release();
        }
    }
    return withoutExtents.release();
}

} // namespace

AtspiAccessible* AtspiAccessibilityServices::deepestAt(AtspiAccessible* top, int x, int y) {
    AtspiAccessible* current = static_cast<AtspiAccessible*>(g_object_ref(top));
    for (int hop = 0; hop < maxPointHops; ++hop) {
        GRef<AtspiComponent> component(atspi_accessible_get_component_iface(current));
        AtspiAccessible* next =
            component ? atspi_component_get_accessible_at_point(component.get(), x, y,
                                                                ATSPI_COORD_TYPE_SCREEN, nullptr)
                      : nullptr;
        if (next == current) {
            g_object_unref(next);
            next = nullptr;
        }
        // Some containers answer no child for a point inside one (GTK 3's notebook, whose pages
        // have no extents, as in Mousepad): their children are asked instead.
        if (!next)
            next = childHolding(current, x, y);
        if (!next)
            break;
        g_object_unref(current);
        current = next;
    }
    return current;
}

AccessResult<AccessibleElement> AtspiAccessibilityServices::elementAtPosition(QPointF logical) {
    if (m_extents == Extents::windowRelative)
        return AccessResult<AccessibleElement>::failure(AccessStatus::AttributeUnsupported);
    ensureStarted();
    // The window system and the toolkits count device pixels.
    const QPointF point = m_scaling.toDevice ? m_scaling.toDevice(logical) : logical;
    const int x = qRound(point.x());
    const int y = qRound(point.y());
    CallError error;

    // The window system knows whose window is on top there; without it, active windows first.
    QList<AccessibleElement> applications;
    if (const qint32 pid = m_windowOwnerAt ? m_windowOwnerAt(point) : 0) {
        if (pid == static_cast<qint32>(::getpid()))
            return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);
        if (AccessibleElement app = applicationElement(pid))
            applications.append(app);
    }
    const bool fromWindowSystem = !applications.isEmpty();
    if (!fromWindowSystem) {
        GRef<AtspiAccessible> root(desktop());
        const gint count = root ? atspi_accessible_get_child_count(root.get(), error.out()) : 0;
        for (gint i = 0; i < count; ++i) {
            AccessibleElement application = AtspiElementHandle::adopt(
                atspi_accessible_get_child_at_index(root.get(), i, error.out()));
            if (application && !isOwnProcess(AtspiElementHandle::of(application))) {
                applications.append(application);
            }
        }
    }

    GRef<AtspiAccessible> top;
    for (int pass = 0; pass < 2 && !top; ++pass) {
        for (const AccessibleElement& application : std::as_const(applications)) {
            AtspiAccessible* app = AtspiElementHandle::of(application);
            if (!app)
                continue;
            const gint count = atspi_accessible_get_child_count(app, error.out());
            for (gint i = 0; i < count && !top; ++i) {
                GRef<AtspiAccessible> window(
                    atspi_accessible_get_child_at_index(app, i, error.out()));
                if (!window)
                    continue;
                if (pass == 0 && !fromWindowSystem && !hasState(window.get(), ATSPI_STATE_ACTIVE)) {
                    continue;
                }
                GRef<AtspiComponent> component(atspi_accessible_get_component_iface(window.get()));
                if (component && atspi_component_contains(component.get(), x, y,
                                                          ATSPI_COORD_TYPE_SCREEN, nullptr)) {
                    top = std::move(window);
                }
            }
            if (top)
                break;
        }
    }
    if (!top)
        return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);

    GRef<AtspiAccessible> deepest(deepestAt(top.get(), x, y));
    // Qt answers with a viewport inside the text widget: the text is a few levels up.
    AtspiAccessible* candidate = deepest.get();
    GRef<AtspiAccessible> ancestor;
    for (int hop = 0; hop <= maxTextAncestorHops && candidate; ++hop) {
        if (GRef<AtspiText> text{atspi_accessible_get_text_iface(candidate)}) {
            return AccessResult<AccessibleElement>::success(
                AtspiElementHandle::adopt(static_cast<AtspiAccessible*>(g_object_ref(candidate))));
        }
        if (candidate == top.get())
            break;
        ancestor.reset(atspi_accessible_get_parent(candidate, nullptr));
        candidate = ancestor.get();
    }
    return AccessResult<AccessibleElement>::success(AtspiElementHandle::adopt(deepest.release()));
}

qint32 AtspiAccessibilityServices::processId(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return 0;
    CallError error;
    const guint pid = atspi_accessible_get_process_id(accessible, error.out());
    return error.failed() ? 0 : static_cast<qint32>(pid);
}

ToolkitCounting AtspiAccessibilityServices::countingOf(AtspiAccessible* accessible) {
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString busName =
        object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    const auto cached = m_countingByBusName.constFind(busName);
    if (cached != m_countingByBusName.constEnd())
        return *cached;
    GRef<AtspiAccessible> application(atspi_accessible_get_application(accessible, nullptr));
    QString toolkit;
    QString version;
    QString name;
    if (application) {
        toolkit = fromUtf8(atspi_accessible_get_toolkit_name(application.get(), nullptr));
        version = fromUtf8(atspi_accessible_get_toolkit_version(application.get(), nullptr));
        name = fromUtf8(atspi_accessible_get_name(application.get(), nullptr));
    }
    const ToolkitCounting counting = TextOffsets::countingFor(toolkit, version, name);
    if (!busName.isEmpty() && !toolkit.isEmpty())
        m_countingByBusName.insert(busName, counting);
    return counting;
}

bool AtspiAccessibilityServices::isWindowRelative(AtspiAccessible* accessible) {
    return m_extents == Extents::windowRelative || countingOf(accessible).windowRelativeExtents;
}

std::optional<std::pair<int, int>>
AtspiAccessibilityServices::nativeSelection(AtspiAccessible* accessible, AtspiText* text) {
    CallError error;
    const gint selections = atspi_text_get_n_selections(text, error.out());
    if (error.failed())
        return std::nullopt;
    if (selections > 0) {
        AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
        if (!range)
            return std::nullopt;
        std::pair<int, int> result{std::min(range->start_offset, range->end_offset),
                                   std::max(range->start_offset, range->end_offset)};
        g_free(range);
        return meantSelection(accessible, text, result);
    }
    const gint caret = atspi_text_get_caret_offset(text, error.out());
    if (error.failed() || caret < 0)
        return std::nullopt;
    return std::pair<int, int>{caret, caret};
}

std::pair<int, int> AtspiAccessibilityServices::meantSelection(AtspiAccessible* accessible,
                                                               AtspiText* text,
                                                               std::pair<int, int> reported) {
    const ToolkitCounting counting = countingOf(accessible);
    if (!counting.selectionConvertedTwice || reported.second <= 0)
        return reported;
    // The offsets meant are at most twice the ones reported.
    const QString prefix = fromUtf8(atspi_text_get_text(text, 0, 2 * reported.second, nullptr));
    return {static_cast<int>(TextOffsets::selectionOffset(prefix, reported.first, counting)),
            static_cast<int>(TextOffsets::selectionOffset(prefix, reported.second, counting))};
}

std::pair<int, int> AtspiAccessibilityServices::nativeRange(AtspiAccessible* accessible,
                                                            AtspiText* text, TextRange range) {
    const ToolkitCounting counting = countingOf(accessible);
    const qint64 end = range.location + range.length;
    if (counting.offsets == TextUnit::Utf16) {
        return {static_cast<int>(range.location), static_cast<int>(end)};
    }
    // A code point is at least one UTF-16 unit, so this many characters cover the range.
    const QString prefix = fromUtf8(atspi_text_get_text(text, 0, static_cast<gint>(end), nullptr));
    return {static_cast<int>(TextOffsets::fromUtf16(prefix, range.location, counting.offsets)),
            static_cast<int>(TextOffsets::fromUtf16(prefix, end, counting.offsets))};
}

AccessResult<QString> AtspiAccessibilityServices::selectedText(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
    CallError error;
    const gint selections = atspi_text_get_n_selections(text.get(), error.out());
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (selections <= 0)
        return AccessResult<QString>::success(QString());
    AtspiRange* range = atspi_text_get_selection(text.get(), 0, error.out());
    if (!range)
        return AccessResult<QString>::failure(error.status());
    const auto [start, reportedEnd] =
        meantSelection(accessible, text.get(),
                       {std::min(range->start_offset, range->end_offset),
                        std::max(range->start_offset, range->end_offset)});
    g_free(range);
    // Every toolkit's unit is at least one UTF-16 unit wide, so this many of them are enough.
    const gint end = std::min<qint64>(reportedEnd, qint64(start) + maxSelectionRead);
    QString selected = fromUtf8(atspi_text_get_text(text.get(), start, end, error.out()));
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (countingOf(accessible).padsAstralCharacters)
        selected = TextOffsets::withoutAstralPadding(selected);
    selected.truncate(maxSelectionRead);
    return AccessResult<QString>::success(std::move(selected));
}

AccessResult<TextRange>
AtspiAccessibilityServices::selectedTextRange(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<TextRange>::failure(AccessStatus::InvalidElement);
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<TextRange>::failure(AccessStatus::AttributeUnsupported);
    const auto native = nativeSelection(accessible, text.get());
    if (!native)
        return AccessResult<TextRange>::failure();
    const ToolkitCounting counting = countingOf(accessible);
    if (counting.offsets == TextUnit::Utf16) {
        return AccessResult<TextRange>::success({native->first, native->second - native->first});
    }
    CallError error;
    const QString prefix =
        fromUtf8(atspi_text_get_text(text.get(), 0, native->second, error.out()));
    if (error.failed())
        return AccessResult<TextRange>::failure(error.status());
    const qint64 start = TextOffsets::toUtf16(prefix, native->first, counting.offsets);
    const qint64 end = TextOffsets::toUtf16(prefix, native->second, counting.offsets);
    return AccessResult<TextRange>::success({start, end - start});
}

AccessResult<QRectF> AtspiAccessibilityServices::boundsForRange(const AccessibleElement& element,
                                                                TextRange range) {
    return inLogicalPixels(deviceBoundsForRange(element, range));
}

AccessResult<QRectF> AtspiAccessibilityServices::frame(const AccessibleElement& element) {
    return inLogicalPixels(deviceFrame(element));
}

AccessResult<QRectF> AtspiAccessibilityServices::inLogicalPixels(AccessResult<QRectF> device) {
    if (device.ok() && m_scaling.toLogical)
        device.value = m_scaling.toLogical(device.value);
    return device;
}

AccessResult<QRectF>
AtspiAccessibilityServices::deviceBoundsForRange(const AccessibleElement& element,
                                                 TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QRectF>::failure(AccessStatus::InvalidElement);
    if (range.location < 0 || range.length < 0)
        return AccessResult<QRectF>::failure();
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QRectF>::failure(AccessStatus::AttributeUnsupported);
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    if (isWindowRelative(accessible))
        return windowRelativeBounds(accessible, text.get(), start, end);
    CallError error;
    AtspiRect* rect = nullptr;
    if (end > start) {
        rect = atspi_text_get_range_extents(text.get(), start, end, ATSPI_COORD_TYPE_SCREEN,
                                            error.out());
    } else {
        // An empty range is the caret: the character's left edge, with no width.
        rect = atspi_text_get_character_extents(text.get(), start, ATSPI_COORD_TYPE_SCREEN,
                                                error.out());
        if (rect)
            rect->width = 0;
    }
    if (!rect)
        return AccessResult<QRectF>::failure(error.status());
    const QRectF bounds = rectOf(rect);
    g_free(rect);
    // Toolkits answer all zeros for text they cannot place (scrolled away, not laid out). A box
    // without height is no glyph's either: KWrite's are that flat, and about 40 px right of its
    // text; placing by the pointer or the element is closer.
    if (bounds.height() <= 0)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(bounds);
}

// For toolkits that place text only within their window, a character at a time: the first and the
// last character of the range, moved by where X11 has the window.
AccessResult<QRectF> AtspiAccessibilityServices::windowRelativeBounds(AtspiAccessible* accessible,
                                                                      AtspiText* text, int start,
                                                                      int end) {
    const auto characterAt = [&](int offset) -> std::optional<QRectF> {
        CallError error;
        AtspiRect* rect =
            atspi_text_get_character_extents(text, offset, ATSPI_COORD_TYPE_WINDOW, error.out());
        if (!rect)
            return std::nullopt;
        const QRectF bounds = rectOf(rect);
        g_free(rect);
        return bounds;
    };
    std::optional<QRectF> bounds = characterAt(start);
    if (bounds && end > start + 1) {
        const std::optional<QRectF> last = characterAt(end - 1);
        bounds = last ? std::optional(bounds->united(*last)) : std::nullopt;
    }
    if (bounds && end == start)
        bounds->setWidth(0);
    const std::optional<QPointF> origin = bounds ? windowOrigin(accessible) : std::nullopt;
    if (!origin)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(bounds->translated(*origin));
}

std::optional<QPointF> AtspiAccessibilityServices::windowOrigin(AtspiAccessible* accessible) {
    if (!m_windowArea)
        return std::nullopt;
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(accessible, &error);
    g_clear_error(&error);
    const auto window = m_windowArea(static_cast<qint32>(pid));
    if (!window)
        return std::nullopt;
    // The window's own coordinates start inside the border it draws its decorations in: as it
    // says; else where the compositor's visible frame begins, when the toolkit's own size is the
    // frame's (a shadow of its own, which GTK 4 draws deeper below than above); else from the
    // difference between the window system's size and its own. The sides share the width's
    // difference equally, the bottom as much as a side, and the rest is above: a title bar of its
    // own on top (Qt under GNOME).
    QPointF origin = window->area.topLeft();
    const std::optional<QSizeF> own =
        window->clientSideBorder ? std::nullopt : topLevelSize(accessible);
    const auto isFrame = [&](const QRect& frame) {
        return std::abs(own->width() - frame.width()) <= 1 &&
               std::abs(own->height() - frame.height()) <= 1;
    };
    if (window->clientSideBorder) {
        origin += QPointF(window->clientSideBorder->left(), window->clientSideBorder->top());
    } else if (own && window->frame && isFrame(*window->frame)) {
        origin = window->frame->topLeft();
    } else if (own) {
        const double side = std::max(0.0, (window->area.width() - own->width()) / 2);
        const double above = std::max(0.0, window->area.height() - own->height() - side);
        origin += QPointF(side, above);
    }
    return origin;
}

std::optional<QSizeF> AtspiAccessibilityServices::topLevelSize(AtspiAccessible* accessible) {
    GRef<AtspiAccessible> current(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
    for (int depth = 0; depth < 64; ++depth) {
        GRef<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), nullptr));
        if (!parent)
            return std::nullopt;
        if (atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_APPLICATION) {
            GRef<AtspiComponent> component(atspi_accessible_get_component_iface(current.get()));
            AtspiRect* rect =
                component
                    ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, nullptr)
                    : nullptr;
            if (!rect)
                return std::nullopt;
            const QSizeF size(rect->width, rect->height);
            g_free(rect);
            return size;
        }
        current = std::move(parent);
    }
    return std::nullopt;
}

AccessResult<QString> AtspiAccessibilityServices::stringForRange(const AccessibleElement& element,
                                                                 TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    if (range.location < 0 || range.length < 0)
        return AccessResult<QString>::failure();
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
    CallError error;
    const gint count = atspi_text_get_character_count(text.get(), error.out());
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    // Not every toolkit stops at the end of its text by itself.
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    const gint to = std::min(end, count);
    const QString piece =
        fromUtf8(atspi_text_get_text(text.get(), std::min(start, to), to, error.out()));
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (countingOf(accessible).padsAstralCharacters)
        return AccessResult<QString>::success(TextOffsets::withoutAstralPadding(piece));
    return AccessResult<QString>::success(piece);
}

AccessResult<QString> AtspiAccessibilityServices::value(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    CallError error;
    if (GRef<AtspiText> text{atspi_accessible_get_text_iface(accessible)}) {
        QString all = fromUtf8(atspi_text_get_text(text.get(), 0, -1, error.out()));
        if (error.failed())
            return AccessResult<QString>::failure(error.status());
        if (countingOf(accessible).padsAstralCharacters)
            all = TextOffsets::withoutAstralPadding(all);
        return AccessResult<QString>::success(std::move(all));
    }
    if (GRef<AtspiValue> numeric{atspi_accessible_get_value_iface(accessible)}) {
        const gdouble current = atspi_value_get_current_value(numeric.get(), error.out());
        if (error.failed())
            return AccessResult<QString>::failure(error.status());
        return AccessResult<QString>::success(QString::number(current));
    }
    return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
}

AccessResult<bool> AtspiAccessibilityServices::isSettable(const AccessibleElement& element,
                                                          SettableAttribute) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<bool>::failure(AccessStatus::InvalidElement);
    // Both the selection and the whole value are written through EditableText, which read-only
    // views offer too: the editable state tells them apart.
    GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    return AccessResult<bool>::success(editable && hasState(accessible, ATSPI_STATE_EDITABLE));
}

AccessResult<AccessibleElement>
AtspiAccessibilityServices::parent(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<AccessibleElement>::failure(AccessStatus::InvalidElement);
    CallError error;
    // An application is the top of its own tree; the desktop above it is no element of it.
    if (atspi_accessible_get_role(accessible, error.out()) == ATSPI_ROLE_APPLICATION) {
        return AccessResult<AccessibleElement>::success({});
    }
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    AtspiAccessible* up = atspi_accessible_get_parent(accessible, error.out());
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    return AccessResult<AccessibleElement>::success(AtspiElementHandle::adopt(up));
}

AccessResult<QList<AccessibleElement>>
AtspiAccessibilityServices::children(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QList<AccessibleElement>>::failure(AccessStatus::InvalidElement);
    CallError error;
    const gint count = atspi_accessible_get_child_count(accessible, error.out());
    if (error.failed())
        return AccessResult<QList<AccessibleElement>>::failure(error.status());
    QList<AccessibleElement> result;
    result.reserve(count);
    for (gint i = 0; i < count; ++i) {
        if (AtspiAccessible* child =
                atspi_accessible_get_child_at_index(accessible, i, error.out())) {
            result.append(AtspiElementHandle::adopt(child));
        }
    }
    return AccessResult<QList<AccessibleElement>>::success(std::move(result));
}

AccessResult<ElementRole> AtspiAccessibilityServices::role(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<ElementRole>::failure(AccessStatus::InvalidElement);
    CallError error;
    const AtspiRole atspiRole = atspi_accessible_get_role(accessible, error.out());
    if (error.failed())
        return AccessResult<ElementRole>::failure(error.status());
    switch (atspiRole) {
    case ATSPI_ROLE_TOOL_BAR:
        return AccessResult<ElementRole>::success(ElementRole::Toolbar);
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return AccessResult<ElementRole>::success(ElementRole::TextField);
    case ATSPI_ROLE_TEXT:
        // Qt's line edit is a text with the single-line state.
        return AccessResult<ElementRole>::success(hasState(accessible, ATSPI_STATE_SINGLE_LINE)
                                                      ? ElementRole::TextField
                                                      : ElementRole::TextArea);
    case ATSPI_ROLE_DOCUMENT_TEXT:
        return AccessResult<ElementRole>::success(ElementRole::TextArea);
    case ATSPI_ROLE_COMBO_BOX:
        return AccessResult<ElementRole>::success(ElementRole::ComboBox);
    default:
        return AccessResult<ElementRole>::success(ElementRole::Other);
    }
}

AccessResult<QRectF> AtspiAccessibilityServices::deviceFrame(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QRectF>::failure(AccessStatus::InvalidElement);
    GRef<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
    if (!component)
        return AccessResult<QRectF>::failure(AccessStatus::AttributeUnsupported);
    // A toolkit that places things only within its window is moved by where the window is.
    const bool windowRelative = isWindowRelative(accessible);
    CallError error;
    AtspiRect* rect = atspi_component_get_extents(
        component.get(), windowRelative ? ATSPI_COORD_TYPE_WINDOW : ATSPI_COORD_TYPE_SCREEN,
        error.out());
    if (!rect)
        return AccessResult<QRectF>::failure(error.status());
    const QRectF result = rectOf(rect);
    g_free(rect);
    if (!windowRelative)
        return AccessResult<QRectF>::success(result);
    const std::optional<QPointF> origin = windowOrigin(accessible);
    if (!origin)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(result.translated(*origin));
}

AccessResult<QList<AccessibleElement>>
AtspiAccessibilityServices::windows(const AccessibleElement& application) {
    auto all = children(application);
    if (!all.ok())
        return all;
    // The active window is the front one; the rest keep the application's order.
    QList<AccessibleElement> ordered;
    for (const AccessibleElement& window : std::as_const(all.value)) {
        if (hasState(AtspiElementHandle::of(window), ATSPI_STATE_ACTIVE))
            ordered.prepend(window);
        else
            ordered.append(window);
    }
    return AccessResult<QList<AccessibleElement>>::success(std::move(ordered));
}

AccessStatus
AtspiAccessibilityServices::setFullAccessibilityTree(const AccessibleElement& application,
                                                     bool on) {
    if (!AtspiElementHandle::of(application))
        return AccessStatus::InvalidElement;
    // Toolkits build their trees for everyone once the desktop's switch is on; there is no
    // per-application request, and turning it off would take it from other assistive tools.
    if (!on)
        return AccessStatus::Success;
    if (AccessibilityStatus::isEnabled().value_or(false))
        return AccessStatus::Success;
    return AccessibilityStatus::setEnabled(true) ? AccessStatus::Success : AccessStatus::Failure;
}

AccessStatus AtspiAccessibilityServices::setSelectedTextRange(const AccessibleElement& element,
                                                              TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessStatus::InvalidElement;
    if (range.location < 0 || range.length < 0)
        return AccessStatus::Failure;
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessStatus::AttributeUnsupported;
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    CallError error;
    const gint selections = atspi_text_get_n_selections(text.get(), error.out());
    if (error.failed())
        return error.status();
    bool done = false;
    if (start == end) {
        if (selections > 0)
            atspi_text_remove_selection(text.get(), 0, error.out());
        done = atspi_text_set_caret_offset(text.get(), start, error.out());
    } else if (selections > 0) {
        done = atspi_text_set_selection(text.get(), 0, start, end, error.out());
    } else {
        done = atspi_text_add_selection(text.get(), start, end, error.out());
    }
    if (error.failed())
        return error.status();
    return done ? AccessStatus::Success : AccessStatus::Failure;
}

AccessStatus AtspiAccessibilityServices::setSelectedText(const AccessibleElement& element,
                                                         const QString& replacement) {
    return writeRange(element, std::nullopt, replacement);
}

AccessStatus AtspiAccessibilityServices::replaceText(const AccessibleElement& element,
                                                     TextRange range, const QString& replacement) {
    if (range.location < 0 || range.length < 0)
        return AccessStatus::Failure;
    return writeRange(element, range, replacement);
}

AccessStatus AtspiAccessibilityServices::writeRange(const AccessibleElement& element,
                                                    std::optional<TextRange> range,
                                                    const QString& replacement) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessStatus::InvalidElement;
    GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!editable || !text)
        return AccessStatus::AttributeUnsupported;
    if (!hasState(accessible, ATSPI_STATE_EDITABLE))
        return AccessStatus::Failure;
    // The range itself, never "the selection": some toolkits clear the selection when it is set.
    const auto native = range ? std::optional(nativeRange(accessible, text.get(), *range))
                              : nativeSelection(accessible, text.get());
    if (!native)
        return AccessStatus::Failure;
    const auto [start, end] = *native;

    const ToolkitCounting counting = countingOf(accessible);
    EditableTextCalls calls;
    calls.characterCount = [&]() -> std::optional<int> {
        CallError error;
        const gint count = atspi_text_get_character_count(text.get(), error.out());
        return error.failed() ? std::nullopt : std::optional<int>(count);
    };
    calls.textBetween = [&](int from, int to) -> std::optional<QString> {
        CallError error;
        gchar* piece = atspi_text_get_text(text.get(), from, to, error.out());
        std::optional<QString> result;
        if (!error.failed() && piece)
            result = QString::fromUtf8(piece);
        g_free(piece);
        // Lengths and inserts are of the text without the padding.
        if (result && counting.padsAstralCharacters)
            result = TextOffsets::withoutAstralPadding(*result);
        return result;
    };
    calls.deleteText = [&](int from, int to) {
        CallError error;
        const bool deleted = atspi_editable_text_delete_text(editable.get(), from, to, error.out());
        return deleted && !error.failed();
    };
    calls.insertText = [&](int at, const QString& piece) {
        const QByteArray utf8 = piece.toUtf8();
        const qint64 length = TextOffsets::length(piece, counting.insertLength);
        CallError error;
        const bool inserted = atspi_editable_text_insert_text(
            editable.get(), at, utf8.constData(), static_cast<gint>(length), error.out());
        return inserted && !error.failed();
    };
    calls.lengthOf = [&counting](const QString& piece) {
        return static_cast<int>(TextOffsets::length(piece, counting.offsets));
    };
    return replaceTextAllOrNothing(calls, start, end, replacement);
}

} // namespace ovra::platform
