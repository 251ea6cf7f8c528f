#include "panel/widgets/panel_icons.h"

#include <QGuiApplication>
#include <QPalette>
#include <QString>

// Resources compiled into a static library are registered by hand, outside any namespace.
static void registerBundledIcons() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(ovra);
        return true;
    }();
    (void)registered;
}

namespace ovra::PanelIcons {

namespace {

struct Names {
    QString theme; // freedesktop icon naming
    QString bundled;
};

Names namesFor(Symbol symbol) {
    switch (symbol) {
    case Symbol::translate:
        return {QStringLiteral("globe"), QStringLiteral("globe")};
    case Symbol::reformulate:
        return {QStringLiteral("tools-wizard"), QStringLiteral("sparkles")};
    case Symbol::copy:
        return {QStringLiteral("edit-copy"), QStringLiteral("copy")};
    case Symbol::moreOptions:
        return {QStringLiteral("go-down"), QStringLiteral("chevron-down")};
    case Symbol::fewerOptions:
        return {QStringLiteral("go-up"), QStringLiteral("chevron-up")};
    case Symbol::close:
        return {QStringLiteral("window-close"), QStringLiteral("close")};
    case Symbol::review:
        return {QStringLiteral("tools-check-spelling"), QStringLiteral("review")};
    case Symbol::summarize:
        return {QStringLiteral("format-justify-left"), QStringLiteral("summarize")};
    case Symbol::ask:
        return {QStringLiteral("dialog-question"), QStringLiteral("ask")};
    case Symbol::engineGoogle:
        return {QStringLiteral("preferences-desktop-locale"), QStringLiteral("translate")};
    case Symbol::engineOnline:
        return {QStringLiteral("weather-overcast"), QStringLiteral("cloud")};
    case Symbol::engineOnDevice:
        return {QStringLiteral("cpu"), QStringLiteral("cpu")};
    }
    return {};
}

} // namespace

QIcon bundledIcon(Symbol symbol) {
    registerBundledIcons();
    return QIcon(QStringLiteral(":/ovra/icons/") + namesFor(symbol).bundled +
                 QStringLiteral(".svg"));
}

bool themeDrawsForDarkBackgrounds() {
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

QIcon icon(Symbol symbol) {
    // The panel is always dark: a theme made for light windows draws dark glyphs that would vanish
    // on it, so its icons are used only when the desktop itself is dark.
    if (!themeDrawsForDarkBackgrounds())
        return bundledIcon(symbol);
    return QIcon::fromTheme(namesFor(symbol).theme, bundledIcon(symbol));
}

} // namespace ovra::PanelIcons
