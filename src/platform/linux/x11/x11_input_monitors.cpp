#include "platform/linux/x11/x11_input_monitors.h"

#include "platform/linux/key_mapping.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

// Xlib's event-type macros would rename Qt's event types below.
#undef KeyPress
#undef KeyRelease

namespace ovra::platform {

namespace {

constexpr int noModifier = -1;

bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

Modifiers modifiersOf(Qt::KeyboardModifiers qt) {
    Modifiers result;
    if (qt & Qt::ShiftModifier)
        result |= Modifier::Shift;
    if (qt & Qt::ControlModifier)
        result |= Modifier::Control;
    if (qt & Qt::AltModifier)
        result |= Modifier::Alt;
    if (qt & Qt::MetaModifier)
        result |= Modifier::Super;
    return result;
}

} // namespace

X11InputMonitors::X11InputMonitors(X11Connection& connection) : m_connection(connection) {
    m_modifierOfKey.fill(noModifier);
}

X11InputMonitors::~X11InputMonitors() {
    if (m_listener)
        m_connection.removeListener(m_listener);
    if (m_filterInstalled && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool X11InputMonitors::startRawEvents() {
    if (m_listener)
        return true;
    if (m_connection.xinputOpcode() < 0)
        return false;
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawButtonPress);
    XISetMask(mask, XI_RawButtonRelease);
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof(mask)), mask};
    if (XISelectEvents(m_connection.display(), m_connection.root(), &events, 1) != Success) {
        return false;
    }
    readModifierMapping();
    Display* display = m_connection.display();
    int opcode = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &m_xkbEventBase, &error, &major, &minor) &&
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask,
                              XkbModifierStateMask)) {
        // Modifiers held since before we started watching.
        XkbStateRec state;
        if (XkbGetState(display, XkbUseCoreKbd, &state) == Success)
            m_modifierState = state.mods;
    } else {
        m_xkbEventBase = -1;
    }
    m_listener = m_connection.addListener([this](XEvent& event) { onEvent(event); });
    return true;
}

void X11InputMonitors::readModifierMapping() {
    m_modifierOfKey.fill(noModifier);
    XModifierKeymap* map = XGetModifierMapping(m_connection.display());
    if (!map)
        return;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const ::KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code)
                m_modifierOfKey[code] = modifier;
        }
    }
    XFreeModifiermap(map);
}

Subscription X11InputMonitors::install(Monitor monitor) {
    const std::uint64_t id = m_nextToken++;
    m_monitors.emplace(id, std::move(monitor));
    return Subscription([this, id] { m_monitors.erase(id); });
}

Subscription X11InputMonitors::addGlobalMonitor(InputEventTypes types, Handler handler) {
    if (!startRawEvents())
        return {};
    return install(Monitor{types, std::move(handler), true});
}

Subscription X11InputMonitors::addLocalMonitor(InputEventTypes types, Handler handler) {
    if (!QCoreApplication::instance())
        return {};
    if (!m_filterInstalled) {
        QCoreApplication::instance()->installEventFilter(this);
        m_filterInstalled = true;
    }
    return install(Monitor{types, std::move(handler), false});
}

void X11InputMonitors::deliver(bool global, const InputEvent& event) {
    std::vector<std::uint64_t> tokens;
    for (const auto& [id, monitor] : m_monitors) {
        if (monitor.global == global && monitor.types.testFlag(event.type))
            tokens.push_back(id);
    }
    for (const std::uint64_t id : tokens) {
        // A handler may remove monitors; those removed are not called any more.
        const auto it = m_monitors.find(id);
        if (it == m_monitors.end())
            continue;
        const Handler handler = it->second.handler;
        handler(event);
    }
}

bool X11InputMonitors::ownsInput(bool keyboard) const {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    // Keys go to the window with the focus, clicks to the window under the pointer.
    if (keyboard)
        return QGuiApplication::focusWindow() != nullptr;
    return QGuiApplication::topLevelAt(QCursor::pos()) != nullptr;
}

void X11InputMonitors::onEvent(XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request == MappingModifier)
            readModifierMapping();
        return;
    }
    if (m_xkbEventBase >= 0 && event.type == m_xkbEventBase) {
        const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
        if (xkb.any.xkb_type == XkbStateNotify)
            m_modifierState = xkb.state.mods;
        return;
    }
    if (event.type != GenericEvent || event.xcookie.extension != m_connection.xinputOpcode() ||
        !event.xcookie.data) {
        return;
    }
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    InputEvent input;
    switch (raw->evtype) {
    case XI_RawButtonPress:
    case XI_RawButtonRelease:
        if (raw->detail != Button1)
            return;
        input.type = raw->evtype == XI_RawButtonPress ? InputEventType::LeftMouseDown
                                                      : InputEventType::LeftMouseUp;
        input.modifiers = KeyMapping::modifiersFromState(m_modifierState);
        if (!ownsInput(false))
            deliver(true, input);
        return;
    case XI_RawKeyPress:
    case XI_RawKeyRelease: {
        const int code = raw->detail;
        const bool press = raw->evtype == XI_RawKeyPress;
        // The keyboard's state notification for a key follows its raw event, so this is the
        // state before it, as the key's own press reports it.
        input.modifiers = KeyMapping::modifiersFromState(m_modifierState);
        input.isModifierKey = code >= 0 && code < 256 && m_modifierOfKey[code] != noModifier;
        input.type = press ? InputEventType::KeyDown : InputEventType::KeyUp;
        const KeySym sym =
            XkbKeycodeToKeysym(m_connection.display(), static_cast<::KeyCode>(code), 0, 0);
        input.keyCode = KeyMapping::virtualKeyCode(sym).value_or(-1);
        input.charactersIgnoringModifiers = KeyMapping::characters(sym);
        if (!ownsInput(true))
            deliver(true, input);
        return;
    }
    default:
        return;
    }
}

bool X11InputMonitors::eventFilter(QObject* watched, QEvent* event) {
    // Qt hands an event to the window first and then along the widgets; the window alone
    // stands for the whole delivery.
    if (!watched->isWindowType())
        return false;
    InputEvent input;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        input.type = event->type() == QEvent::MouseButtonPress ? InputEventType::LeftMouseDown
                                                               : InputEventType::LeftMouseUp;
        input.modifiers = modifiersOf(mouse->modifiers());
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        input.type =
            event->type() == QEvent::KeyPress ? InputEventType::KeyDown : InputEventType::KeyUp;
        input.modifiers = modifiersOf(key->modifiers());
        // On X11 the native virtual key is the keysym; the unshifted one names the key.
        const quint32 sym = key->nativeVirtualKey();
        input.keyCode = KeyMapping::virtualKeyCode(sym).value_or(-1);
        input.charactersIgnoringModifiers = KeyMapping::characters(sym);
        input.isModifierKey = isModifierKey(key->key());
        break;
    }
    default:
        return false;
    }
    deliver(false, input);
    return false;
}

} // namespace ovra::platform
