#pragma once

#include "support/cancellation.h"
#include "support/errors.h"

#include <QStringList>
#include <qcoro/qcorotask.h>

namespace ovra {

// A failure to install a language pack, with the text the user sees.
class PackageInstallError : public Error {
public:
    using Error::Error;
};

// Installs distribution packages on the user's behalf; the system asks for authorization in its
// own dialog. Implemented over PackageKit; tests use a fake.
class PackageInstaller {
public:
    virtual ~PackageInstaller() = default;

    // Whether installing can be attempted at all (the service exists or can be started).
    virtual QCoro::Task<bool> isPresent(CancelToken token) = 0;
    // Installs the packages named (Debian names such as "apertium-eng-spa"), or throws
    // PackageInstallError; CancelledError once `token` is cancelled.
    virtual QCoro::Task<void> install(QStringList packageNames, CancelToken token) = 0;

    static QString absentMessage() {
        return QStringLiteral("Não é possível baixar pacotes de idioma: o PackageKit não está "
                              "disponível neste sistema.");
    }
};

} // namespace ovra
