#include "capture/capture_filter.h"

#include "ovra/deployment_config.h"
#include "settings/prefs.h"

namespace ovra {

CaptureFilter CaptureFilter::forApplication(Prefs& prefs) {
    return CaptureFilter{QString::fromUtf8(deployment::appId),
                         [&prefs](const QString& bundleID) { return prefs.isIgnored(bundleID); }};
}

} // namespace ovra
