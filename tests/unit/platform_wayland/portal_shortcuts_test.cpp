// The portal's shortcuts against a fake portal on a private D-Bus daemon: the calls in their
// order, presses, every way the portal fails (its stand-in then holds the shortcut) and a portal
// that comes back.
#include "fakes/fake_hotkey_service.h"
#include "platform/linux/wayland/portal_hot_key.h"
#include "platform/linux/wayland/portal_shortcuts.h"
#include "support/private_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ovra::platform {
namespace {

const QString desktopPath = u"/org/freedesktop/portal/desktop"_s;
const QString shortcutsInterface = u"org.freedesktop.portal.GlobalShortcuts"_s;

// The portal as far as the client uses it; every call is recorded as "<member> <first argument>".
class FakePortal final : public QDBusVirtualObject {
public:
    QStringList calls;
    QList<PortalShortcut> bound; // the last BindShortcuts' list
    bool hasRegistry = true;
    bool hasShortcuts = true;
    uint bindAnswer = 0;
    bool noKeys = false;      // binds without a trigger
    bool announcesIt = false; // announces the bound shortcuts before its answer, as GNOME 48 does
    QString session;

    explicit FakePortal(QDBusConnection bus) : m_bus(std::move(bus)) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        calls << member + u' ' +
                     (args.isEmpty()
                          ? message.path()
                          : qvariant_cast<QDBusObjectPath>(args[0]).path() + args[0].toString());
        const bool known = member == u"Close"_s || (member == u"Register"_s && hasRegistry) ||
                           (message.interface() == shortcutsInterface && hasShortcuts);
        if (!known || (member != u"CreateSession"_s && member != u"BindShortcuts"_s))
            return m_bus.send(known ? message.createReply()
                                    : message.createErrorReply(QDBusError::UnknownMethod, member));
        const QVariantMap options = qdbus_cast<QVariantMap>(args.last());
        QString sender = message.service().mid(1).replace(u'.', u'_');
        const QString handle = desktopPath + u"/request/"_s + sender + u'/' +
                               options.value(u"handle_token"_s).toString();
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QVariantMap results;
        uint code = 0;
        if (member == u"CreateSession"_s) {
            session = desktopPath + u"/session/"_s + sender + u'/' +
                      options.value(u"session_handle_token"_s).toString();
            results.insert(u"session_handle"_s, session);
        } else {
            QList<PortalShortcut> triggers = bound = qdbus_cast<QList<PortalShortcut>>(args[1]);
            for (PortalShortcut& shortcut : triggers) {
                const QString asked = shortcut.properties[u"preferred_trigger"_s].toString();
                shortcut.properties = {
                    {u"trigger_description"_s, noKeys ? u""_s : u"Desk+"_s + asked}};
            }
            results.insert(u"shortcuts"_s, QVariant::fromValue(triggers));
            code = bindAnswer;
            if (announcesIt) {
                QDBusMessage changed = QDBusMessage::createSignal(desktopPath, shortcutsInterface,
                                                                  u"ShortcutsChanged"_s);
                changed.setArguments({args[0], QVariant::fromValue(triggers)});
                m_bus.send(changed);
            }
        }
        QDBusMessage response =
            QDBusMessage::createSignal(handle, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response.setArguments({code, results});
        m_bus.send(response);
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    void activate(const QString& id, const QString& inSession) {
        QDBusMessage signal =
            QDBusMessage::createSignal(desktopPath, shortcutsInterface, u"Activated"_s);
        signal.setArguments({QVariant::fromValue(QDBusObjectPath(inSession)), id,
                             QVariant::fromValue(qulonglong(1)), QVariantMap()});
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
};

class PortalShortcutsTest : public ::testing::Test {
protected:
    QDBusConnection connect(const QString& name) { return m_bus.connect(name); }
    // A portal on its own connection, on the bus under the portal's name.
    void startPortal(QDBusConnection bus, FakePortal& portal) {
        ASSERT_TRUE(bus.registerVirtualObject(desktopPath, &portal, QDBusConnection::SubPath));
        ASSERT_TRUE(bus.registerService(PortalShortcuts::serviceName()));
    }

    test::PrivateBus m_bus;
    QDBusConnection portalBus = connect(u"portal-a"_s);
    FakePortal portal{portalBus};
    PortalShortcuts client{u"app.ovra.Ovra"_s, connect(u"client"_s)};
    test::FakeHotKeyService panelFallback, actionFallback;
    PortalHotKey panel{client, u"capture"_s, u"Show the panel"_s, &panelFallback};
    PortalHotKey action{client, u"translate-replace"_s, u"Translate"_s, &actionFallback};
    int panelPresses = 0, actionPresses = 0;
    static constexpr QKeyCombination ctrlAltT{Qt::ControlModifier | Qt::AltModifier, Qt::Key_T};
    static constexpr QKeyCombination superR{Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_R};
};

TEST_F(PortalShortcutsTest, RegistersThenBindsEveryShortcutInOneSessionRoutesPressesAndBindsAgain) {
    startPortal(portalBus, portal);
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(panel.registerHotKey(ctrlAltT, [this] { ++panelPresses; }));
    ASSERT_TRUE(action.registerHotKey(superR, [this] { ++actionPresses; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == PortalShortcuts::State::bound; }));
    ASSERT_EQ(portal.calls.size(), 3);
    EXPECT_EQ(portal.calls[0], u"Register app.ovra.Ovra"_s);
    EXPECT_EQ(portal.calls[1], u"CreateSession "_s);
    EXPECT_EQ(portal.calls[2], u"BindShortcuts "_s + portal.session);
    ASSERT_EQ(portal.bound.size(), 2);
    EXPECT_EQ(portal.bound[0].properties[u"preferred_trigger"_s], u"CTRL+ALT+t"_s);
    EXPECT_EQ(portal.bound[1].properties[u"preferred_trigger"_s], u"SHIFT+LOGO+r"_s);
    // The trigger the desktop reports, not the one asked for.
    EXPECT_EQ(client.triggerDescription(u"capture"_s), u"Desk+CTRL+ALT+t"_s);
    EXPECT_TRUE(panel.portalHolds());
    EXPECT_TRUE(panelFallback.registrations.empty());

    portal.activate(u"capture"_s, desktopPath + u"/session/other/1"_s); // another program's
    portal.activate(u"translate-replace"_s, portal.session);
    ASSERT_TRUE(QTest::qWaitFor([&] { return actionPresses == 1; }));
    EXPECT_EQ(panelPresses, 0);

    // The user gave the panel another trigger in the desktop's settings.
    QDBusMessage changed =
        QDBusMessage::createSignal(desktopPath, shortcutsInterface, u"ShortcutsChanged"_s);
    changed.setArguments({QVariant::fromValue(QDBusObjectPath(portal.session)),
                          QVariant::fromValue(QList<PortalShortcut>{
                              {u"capture"_s, {{u"trigger_description"_s, u"Meta+K"_s}}}})});
    portalBus.send(changed);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return client.triggerDescription(u"capture"_s) == u"Meta+K"_s; }));

    // A session binds once: a change of the set binds it anew in a new session.
    const QString first = portal.session;
    action.unregisterHotKey();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 6; }));
    EXPECT_EQ(portal.calls[3], u"Close "_s + first);
    EXPECT_NE(portal.session, first);
    ASSERT_EQ(portal.bound.size(), 1);
    EXPECT_EQ(portal.bound[0].id, u"capture"_s);

    // A portal that comes back is registered with and bound again.
    ASSERT_TRUE(portalBus.unregisterService(PortalShortcuts::serviceName()));
    QDBusConnection nextBus = connect(u"portal-b"_s);
    FakePortal next(nextBus);
    startPortal(nextBus, next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.calls.size() == 3; }));
    EXPECT_EQ(next.calls[0], u"Register app.ovra.Ovra"_s);
    EXPECT_EQ(next.calls[2], u"BindShortcuts "_s + next.session);
    next.activate(u"capture"_s, next.session);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelPresses == 1; }));
    EXPECT_TRUE(panelFallback.registrations.empty());
}

// GNOME 48's portal announces the shortcuts it bound, then answers with a code it never set.
TEST_F(PortalShortcutsTest, ShortcutsAnnouncedAsBoundAreHeldWhateverTheAnswer) {
    portal.bindAnswer = 2;
    portal.announcesIt = true;
    startPortal(portalBus, portal);
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(panel.registerHotKey(ctrlAltT, [this] { ++panelPresses; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() != PortalShortcuts::State::waiting; }));
    EXPECT_EQ(client.state(), PortalShortcuts::State::bound);
    EXPECT_EQ(client.triggerDescription(u"capture"_s), u"Desk+CTRL+ALT+t"_s);
    EXPECT_TRUE(panelFallback.registrations.empty());
    portal.activate(u"capture"_s, portal.session);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelPresses == 1; }));
}

TEST_F(PortalShortcutsTest, EachFailureOfThePortalLeavesTheShortcutsToItsStandIn) {
    struct Case {
        const char* name;
        bool running, registry, shortcuts;
        uint bindAnswer;
        bool noKeys;
    };
    for (const Case& c : {Case{"no portal", false, true, true, 0, false},
                          Case{"no registry", true, false, true, 0, false},
                          Case{"no GlobalShortcuts", true, true, false, 0, false},
                          Case{"binding cancelled", true, true, true, 1, false},
                          Case{"bound to no key", true, true, true, 0, true}}) {
        SCOPED_TRACE(c.name);
        QDBusConnection bus = connect(QString::fromLatin1(c.name));
        FakePortal fake(bus);
        fake.hasRegistry = c.registry;
        fake.hasShortcuts = c.shortcuts;
        fake.bindAnswer = c.bindAnswer;
        fake.noKeys = c.noKeys;
        if (c.running)
            startPortal(bus, fake);
        PortalShortcuts shortcuts(u"app.ovra.Ovra"_s,
                                  connect(QString::fromLatin1(c.name) + u" client"_s));
        test::FakeHotKeyService fallback;
        PortalHotKey hotKey(shortcuts, u"capture"_s, u"Show the panel"_s, &fallback);
        ASSERT_TRUE(shortcuts.start());
        int presses = 0;
        ASSERT_TRUE(hotKey.registerHotKey(ctrlAltT, [&] { ++presses; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return fallback.held.has_value(); }));
        EXPECT_EQ(fallback.held, ctrlAltT);
        EXPECT_TRUE(fallback.press());
        EXPECT_EQ(presses, 1);
        hotKey.unregisterHotKey();
        EXPECT_FALSE(fallback.held);
        bus.unregisterService(PortalShortcuts::serviceName());
        bus.unregisterObject(desktopPath, QDBusConnection::UnregisterTree);
    }
}

} // namespace
} // namespace ovra::platform
