// The PackageKit client against a fake PackageKit on a private D-Bus daemon: the calls it makes,
// their D-Bus types, and how each way a transaction ends reaches the caller.
#include "ondevice/packagekit/packagekit_client.h"
#include "support/private_bus.h"
#include "support/task_runner.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

const QString pkService = u"org.freedesktop.PackageKit"_s;
const QString pkTransaction = u"org.freedesktop.PackageKit.Transaction"_s;

// PackageKit's root object and its transactions, as far as the client uses them. Every call is
// recorded as "<path> <member>" with its arguments.
class FakePackageKit final : public QDBusVirtualObject {
public:
    struct Call {
        QString path;
        QString member;
        QVariantList arguments;
    };

    std::vector<Call> calls;
    // What Resolve reports: package ids, each with its own Package signal.
    QStringList resolvedIds;
    uint installExit = 1; // success

    explicit FakePackageKit(QDBusConnection bus) : m_bus(std::move(bus)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        calls.push_back({message.path(), message.member(), message.arguments()});
        const QString member = message.member();
        if (member == u"CreateTransaction"_s) {
            const QDBusObjectPath path(u"/org/freedesktop/PackageKit/tx"_s +
                                       QString::number(++m_transactions));
            connection.send(message.createReply(QVariant::fromValue(path)));
            return true;
        }
        connection.send(message.createReply());
        if (member == u"Resolve"_s) {
            for (const QString& id : resolvedIds)
                emitSignal(message.path(), u"Package"_s,
                           {QVariant::fromValue(2u), id, u"summary"_s});
            finish(message.path(), 1);
        } else if (member == u"InstallPackages"_s) {
            finish(message.path(), installExit);
        }
        return true;
    }

    std::vector<Call> callsNamed(const QString& member) const {
        std::vector<Call> found;
        for (const Call& call : calls)
            if (call.member == member)
                found.push_back(call);
        return found;
    }

private:
    void emitSignal(const QString& path, const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(path, pkTransaction, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }
    void finish(const QString& path, uint exit) {
        emitSignal(path, u"Finished"_s, {QVariant::fromValue(exit), 10u});
    }

    QDBusConnection m_bus;
    int m_transactions = 0;
};

class PackageKitClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(serviceBus.isConnected());
        ASSERT_TRUE(clientBus.isConnected());
    }
    void startService() {
        ASSERT_TRUE(serviceBus.registerVirtualObject(u"/org/freedesktop/PackageKit"_s, &packageKit,
                                                     QDBusConnection::SubPath));
        ASSERT_TRUE(serviceBus.registerService(pkService));
    }

    test::PrivateBus bus;
    QDBusConnection serviceBus = bus.connect(u"fake-packagekit"_s);
    QDBusConnection clientBus = bus.connect(u"packagekit-client"_s);
    FakePackageKit packageKit{serviceBus};
    PackageKitClient client{clientBus};
};

TEST_F(PackageKitClientTest, ResolvesThenInstallsTheResolvedIdsInteractively) {
    startService();
    packageKit.resolvedIds = {u"apertium-es-pt;1.0;all;debian"_s,
                              u"apertium-eng-spa;2.0;all;debian"_s,
                              u"apertium-es-ptx;1.0;all;debian"_s}; // not asked for
    ASSERT_TRUE(runToEnd(client.isPresent({})));
    runToEnd(client.install({u"apertium-eng-spa"_s, u"apertium-es-pt"_s}, {}));

    const auto resolve = packageKit.callsNamed(u"Resolve"_s);
    ASSERT_EQ(resolve.size(), 1u);
    ASSERT_EQ(resolve[0].arguments.size(), 2);
    // Not installed, newest, native architecture; a 64-bit filter ('t') as the interface says.
    EXPECT_EQ(resolve[0].arguments[0].metaType(), QMetaType::fromType<qulonglong>());
    EXPECT_EQ(resolve[0].arguments[0].toULongLong(), (1ULL << 3) | (1ULL << 16) | (1ULL << 18));
    EXPECT_EQ(resolve[0].arguments[1].toStringList(),
              QStringList({u"apertium-eng-spa"_s, u"apertium-es-pt"_s}));

    const auto install = packageKit.callsNamed(u"InstallPackages"_s);
    ASSERT_EQ(install.size(), 1u);
    EXPECT_EQ(install[0].arguments[0].metaType(), QMetaType::fromType<qulonglong>());
    EXPECT_EQ(install[0].arguments[0].toULongLong(), 1ULL << 1); // only trusted packages
    EXPECT_EQ(
        install[0].arguments[1].toStringList(),
        QStringList({u"apertium-es-pt;1.0;all;debian"_s, u"apertium-eng-spa;2.0;all;debian"_s}));
    EXPECT_NE(install[0].path, resolve[0].path); // one transaction per step

    // Each transaction asks for the desktop's authorization dialog before its call.
    const auto hints = packageKit.callsNamed(u"SetHints"_s);
    ASSERT_EQ(hints.size(), 2u);
    EXPECT_EQ(hints[0].arguments.value(0).toStringList(), QStringList{u"interactive=true"_s});
    EXPECT_EQ(hints[1].path, install[0].path);
}

TEST_F(PackageKitClientTest, EachWayATransactionEndsReachesTheCaller) {
    startService();
    const QStringList packages{u"apertium-es-it"_s};

    // Nothing by that name in the repositories: no install is attempted.
    EXPECT_EQ(failureOf<PackageInstallError>(client.install(packages, {})).description(),
              u"O pacote de idioma não foi encontrado nos repositórios do sistema."_s);
    EXPECT_TRUE(packageKit.callsNamed(u"InstallPackages"_s).empty());

    packageKit.resolvedIds = {u"apertium-es-it;1.0;all;debian"_s};
    packageKit.installExit = 2; // failed
    EXPECT_EQ(failureOf<PackageInstallError>(client.install(packages, {})).description(),
              u"Não foi possível instalar o pacote de idioma. Tente de novo."_s);

    packageKit.installExit = 3; // the user dismissed the authorization dialog
    failureOf<CancelledError>(client.install(packages, {}));

    packageKit.installExit = 1;
    runToEnd(client.install(packages, {}));
    EXPECT_EQ(packageKit.callsNamed(u"InstallPackages"_s).size(), 3u);
}

TEST_F(PackageKitClientTest, WithoutPackageKitOnTheBusSaysSo) {
    EXPECT_FALSE(runToEnd(client.isPresent({})));
    EXPECT_EQ(
        failureOf<PackageInstallError>(client.install({u"apertium-es-it"_s}, {})).description(),
        PackageInstaller::absentMessage());
    EXPECT_TRUE(packageKit.calls.empty());

    CancelSource cancel;
    cancel.cancel();
    failureOf<CancelledError>(client.install({u"apertium-es-it"_s}, cancel.token()));
}

} // namespace
