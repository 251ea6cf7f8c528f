#include "platform/desktop_fixture.h"

#include <QGuiApplication>

namespace ovra::e2e {

namespace {
std::unique_ptr<platform::LinuxPlatform> platformInstance;
std::unique_ptr<TargetApp> gtkInstance;
std::unique_ptr<TargetApp> qtInstance;

TargetApp& started(std::unique_ptr<TargetApp>& slot, TargetApp::Kind kind, const QString& title) {
    if (!slot) {
        slot = std::make_unique<TargetApp>(kind, title);
        if (!slot->start())
            ADD_FAILURE() << "target " << title.toStdString() << " did not start";
    }
    return *slot;
}
} // namespace

platform::LinuxPlatform& desktop() {
    if (!platformInstance) {
        platformInstance = platform::LinuxPlatform::create();
        if (!platformInstance) {
            ADD_FAILURE() << "no X server: run the tests through tests/e2e/run-headless.sh";
            std::abort();
        }
        setConnectionToDrain(&platformInstance->connection());
    }
    return *platformInstance;
}

TargetApp& gtkTarget() {
    return started(gtkInstance, TargetApp::Kind::Gtk, QStringLiteral("Ovra GTK target"));
}

TargetApp& qtTarget() {
    return started(qtInstance, TargetApp::Kind::Qt, QStringLiteral("Ovra Qt target"));
}

void releaseDesktop() {
    gtkInstance.reset();
    qtInstance.reset();
    setConnectionToDrain(nullptr);
    platformInstance.reset();
}

bool selectByKeys(int skip, int count) {
    QStringList keys{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("5"),
                     QStringLiteral("ctrl+Home")};
    for (int i = 0; i < skip; ++i)
        keys.append(QStringLiteral("Right"));
    for (int i = 0; i < count; ++i)
        keys.append(QStringLiteral("shift+Right"));
    return xdotool(keys);
}

AccessibleElement waitForSelection(TargetApp& app, const QString& selection) {
    auto& ax = desktop().accessibility();
    return focusedElementOf(ax, app.pid(), [&](const AccessibleElement& element) {
        const auto text = ax.selectedText(element);
        return text.ok() && text.value == selection;
    });
}

} // namespace ovra::e2e
