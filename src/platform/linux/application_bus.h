#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>

namespace ovra::platform {

// This program on the session bus: it owns the application id as its bus name and serves
// org.freedesktop.Application, so a second start, the desktop's menu actions and scripts reach
// the one running instance.
class ApplicationBus final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    static QString serviceName();
    static QString objectPath();

    // The actions ActivateAction accepts besides `moreActions`.
    static const QStringList& actionNames();

    // `moreActions`: further names ActivateAction accepts (the program's quick actions).
    explicit ApplicationBus(QStringList moreActions = {}, QObject* parent = nullptr);
    ~ApplicationBus() override;

    enum class Claim { owned, heldByAnother, noBus };
    // Exports the object, then asks for the name without queueing, so exactly one of two
    // simultaneous starts owns it.
    Claim claim();

Q_SIGNALS:
    // An action to run: empty for Activate and Open, else one of actionNames(). Sent after the
    // bus call has been answered.
    void actionRequested(const QString& action);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void ActivateAction(const QString& action, const QVariantList& parameter,
                        const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);

private:
    void run(const QString& action);
    QStringList m_moreActions;
    bool m_exported = false;
};

// Asks the running instance for `action` (empty: Activate) and returns at once; `done` gets
// true when the instance answered, and runs on this thread's event loop.
void requestFromRunningInstance(const QString& action, std::function<void(bool answered)> done);

} // namespace ovra::platform
