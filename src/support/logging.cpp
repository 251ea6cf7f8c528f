#include "support/logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "ovra.platform", QtFatalMsg)

namespace ovra::logging {

void enableVerbose() {
    QLoggingCategory::setFilterRules(QStringLiteral("ovra.*=true"));
}

} // namespace ovra::logging
