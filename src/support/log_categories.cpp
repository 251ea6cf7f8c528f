#include "support/log_categories.h"

// QtFatalMsg as the threshold keeps every level off until a rule turns the category on.
Q_LOGGING_CATEGORY(lcCapture, "ovra.capture", QtFatalMsg)
Q_LOGGING_CATEGORY(lcEngines, "ovra.engines", QtFatalMsg)
Q_LOGGING_CATEGORY(lcPlatform, "ovra.platform", QtFatalMsg)
Q_LOGGING_CATEGORY(lcPanel, "ovra.panel", QtFatalMsg)

namespace ovra::logging {

void enableVerbose() {
    QLoggingCategory::setFilterRules(QStringLiteral("ovra.*=true"));
}

} // namespace ovra::logging
