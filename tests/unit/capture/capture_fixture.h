#pragma once

#include "capture/accessibility_bridge.h"
#include "capture/accessibility_capture.h"
#include "capture/capture_filter.h"
#include "capture/clipboard_lease.h"
#include "fakes/fake_capture_platform.h"
#include "fakes/inline_accessibility_thread.h"
#include "support/virtual_clock.h"

#include <QSet>
#include <gtest/gtest.h>

namespace ovra::test {

// The captured text, "" when nothing was captured: one check for both.
inline QString textOf(const std::optional<SelectionSnapshot>& snapshot) {
    return snapshot ? snapshot->text : QString();
}

// A desktop with one text editor (pid 42) in front, and this application under its own id.
class CaptureFixture : public ::testing::Test {
protected:
    static constexpr qint32 editorPid = 42;

    CaptureFixture() {
        editor = fake.workspace.launch(
            {editorPid, QStringLiteral("org.example.Editor"), QStringLiteral("Editor")});
        fake.workspace.frontmost = editor;
    }

    CaptureFilter filter() {
        return CaptureFilter{QStringLiteral("io.ovra.Ovra"),
                             [this](const QString& id) { return ignored.contains(id); }};
    }

    // The editor answers the copy keystroke `after` later with `text`.
    void editorCopiesAfter(Duration after, QString text) {
        fake.keys.onCopy = [this, after, text](qint32) {
            clock.schedule(after, [this, text] { fake.clipboard.copyByOtherApplication(text); });
        };
    }

    // A text element of the editor holding `selection`, reachable from the application node.
    std::shared_ptr<FakeNode> editorTextWith(const QString& selection) {
        auto node = fake.accessibility.application(editorPid)->addChild(QStringLiteral("text"));
        node->selectedText = selection;
        node->role = ElementRole::TextArea;
        return node;
    }

    FakeCapturePlatform fake;
    VirtualClock clock;
    QSet<QString> ignored;
    RunningApplication editor;
    AccessibilityBridge bridge{fake.accessibility, fake.workspace};
    InlineAccessibilityThread thread{fake.accessibility, clock};
    AccessibilityCapture accessibilityCapture{thread, fake.workspace, clock};
    ClipboardLease clipboardLease{clock};
};

} // namespace ovra::test
