#pragma once

#include "fakes/fake_capture_platform.h"
#include "fakes/fake_panel.h"
#include "panel/panel_view_model.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/virtual_clock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace ovra::test {

// Temporary settings and keys, scripted engines and write-back, a fake clipboard and a virtual
// clock, and one view model over all of them.
struct PanelEnvironment {
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, QString()};
    VirtualClock clock;
    FakeClipboard clipboard;
    std::shared_ptr<FakePanelEngines> engines = std::make_shared<FakePanelEngines>();
    FakeTextReplacing replacer;

    std::unique_ptr<PanelViewModel> makeViewModel() {
        return std::make_unique<PanelViewModel>(engines, replacer, clipboard, prefs, keys, clock);
    }

    static SelectionSnapshot snapshot(QString text = QStringLiteral("Bom dia, mundo"),
                                      bool editable = true) {
        return {.text = std::move(text),
                .range = {4, 14},
                .mouseAtCapture = QPointF(500, 600),
                .pid = 4242,
                .appId = QStringLiteral("org.example.Editor"),
                .isEditable = editable};
    }
};

} // namespace ovra::test
