#include "support/logging.h"

namespace ovra::logging {

void enableVerbose() {
    QLoggingCategory::setFilterRules(QStringLiteral("ovra.*=true"));
}

} // namespace ovra::logging
