#pragma once

#include <QIcon>

namespace ovra::PanelIcons {

// The symbols the panel shows.
enum class Symbol {
    translate, // a globe
    reformulate,
    copy,
    moreOptions,
    fewerOptions,
    close,
    review,
    summarize,
    ask,
    engineGoogle,
    engineOnline,
    engineOnDevice,
};

// The desktop icon theme's icon for `symbol` when the desktop is dark, else (or when the theme has
// none) the light-on-dark drawing bundled with Ovra.
QIcon icon(Symbol symbol);
bool themeDrawsForDarkBackgrounds();
// The bundled drawing alone (what the panel shows where the theme has no such icon).
QIcon bundledIcon(Symbol symbol);

} // namespace ovra::PanelIcons
