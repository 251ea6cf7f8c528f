#pragma once

#include <QString>
#include <functional>

namespace ovra {

// Which applications never get a panel: this application itself and the ones the user ignored.
// The ignored list is asked at each decision, so a change in the settings applies at once.
struct CaptureFilter {
    QString ownAppId;                              // this application's id
    std::function<bool(const QString&)> isIgnored; // none: nothing is ignored

    // False for this application's own id (an application without an id compares as "") and
    // for ignored ones.
    bool allows(const QString& appId) const {
        if (appId == ownAppId)
            return false;
        return !(isIgnored && isIgnored(appId));
    }
};

} // namespace ovra
