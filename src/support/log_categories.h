#pragma once

#include <QLoggingCategory>

// Diagnostics, silent unless switched on with --verbose or QT_LOGGING_RULES="ovra.*=true".
// Messages name stages, timings, application ids, engine kinds and status codes only: never the
// selected text, a result, a chat line, a key, a URL's query or the clipboard.
Q_DECLARE_LOGGING_CATEGORY(lcCapture)  // ovra.capture: why a selection did or did not show
Q_DECLARE_LOGGING_CATEGORY(lcEngines)  // ovra.engines: which engine answered or failed, time-outs
Q_DECLARE_LOGGING_CATEGORY(lcPlatform) // ovra.platform: accessibility, shortcut, bus, tray
Q_DECLARE_LOGGING_CATEGORY(lcPanel)    // ovra.panel: shown, hidden, placed

namespace ovra::logging {

// Switches every ovra.* category on, as --verbose does.
void enableVerbose();

} // namespace ovra::logging
