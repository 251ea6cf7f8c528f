#pragma once

#include "fakes/fake_accessibility.h"
#include "fakes/fake_clipboard.h"
#include "fakes/fake_input.h"
#include "fakes/fake_screens.h"
#include "fakes/fake_workspace.h"
#include "platform/capture_platform.h"

namespace ovra::test {

// Every capture-related fake together, with the bundle the logic takes.
struct FakeCapturePlatform {
    FakeAccessibility accessibility;
    FakeInputMonitors input;
    FakeSyntheticKeys keys;
    FakeClipboard clipboard;
    FakeWorkspace workspace;
    FakeScreens screens;
    CapturePlatform platform{accessibility, input, keys, clipboard, workspace, screens};

    // A paste lands in the application's focused element once the application read it.
    FakeCapturePlatform() {
        clipboard.onPasteRead = [this](qint32 pid, const QString& text) {
            accessibility.paste(pid, text);
        };
    }
    FakeCapturePlatform(const FakeCapturePlatform&) = delete;
    FakeCapturePlatform& operator=(const FakeCapturePlatform&) = delete;
};

} // namespace ovra::test
