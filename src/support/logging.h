#pragma once

#include <QLoggingCategory>

// Each source file that logs names its category once, at namespace scope, and writes to `lc`:
//   OVRA_LOGGING_CATEGORY("ovra.panel");
// qCWarning(lc) is for a failure a user or a packager would want explained (an accessibility
// call that errs, a helper that left the bus, a write that did not land); it is on by default and
// goes to standard error, which the journal keeps under a systemd session. qCInfo(lc) tells the
// story of a capture or a request, only with --verbose or QT_LOGGING_RULES="ovra.*=true".
// Messages name stages, timings, application ids, engine kinds and status codes only: never the
// selected text, a result, a chat line, a key, a URL's query or the clipboard.
#define OVRA_LOGGING_CATEGORY(name)                                                                \
    namespace {                                                                                    \
    Q_LOGGING_CATEGORY(lc, name, QtWarningMsg)                                                     \
    }                                                                                              \
    static_assert(true, "a semicolon follows")

namespace ovra::logging {

// Switches every level of every ovra.* category on, as --verbose does.
void enableVerbose();

} // namespace ovra::logging
