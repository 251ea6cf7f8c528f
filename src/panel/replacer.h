#pragma once

#include "capture/accessibility_capture.h"
#include "capture/clipboard_lease.h"
#include "capture/own_writes.h"
#include "capture/selection_snapshot.h"
#include "platform/accessibility_services.h"
#include "platform/clipboard_services.h"
#include "platform/synthetic_keys.h"
#include "platform/workspace_services.h"
#include "support/scheduler.h"

#include <QList>
#include <QString>
#include <qcoro/qcorotask.h>
#include <variant>

namespace ovra {

// The result of writing a panel result back into the source application.
struct ReplaceOutcome {
    enum class Kind { replacedViaAccessibility, replacedViaPaste, selectionChanged, failed };

    Kind kind = Kind::failed;
    QString message; // only when it did not succeed: what the user is told

    static ReplaceOutcome replacedViaAccessibility() {
        return {Kind::replacedViaAccessibility, {}};
    }
    static ReplaceOutcome replacedViaPaste() { return {Kind::replacedViaPaste, {}}; }
    static ReplaceOutcome failed();
    // The captured text is no longer there (typed over): nothing was written.
    static ReplaceOutcome selectionChanged();
    // The paste went out, but the text did not come to read as pasted in time: it may hold the
    // paste, part of it, or nothing yet.
    static ReplaceOutcome pasteUnconfirmed();

    bool succeeded() const {
        return kind == Kind::replacedViaAccessibility || kind == Kind::replacedViaPaste;
    }
    bool operator==(const ReplaceOutcome&) const = default;
};

// What the write-back touches: the source application's element, the clipboard (borrowed under
// the process's lease), the keyboard, and the desktop's idea of the frontmost application and
// window. Everything must outlive the call.
struct ReplacementPlatform {
    AccessibilityCapture& accessibility; // the element is written on the accessibility thread
    ClipboardServices& clipboard;
    WorkspaceServices& workspace;
    SyntheticKeys& keys;
    Scheduler& scheduler;
    ClipboardLease& clipboardLease;
};

// Writes a result in place of the captured selection: through the accessibility element when it
// takes the text and its text reads back as before with only the range replaced, else, where the
// element refused the write and still reads as before (or takes none), by a paste into the source
// window, with the user's clipboard put back once the source has read the pasted text (or after
// pasteReadDeadline, which counts as a failure). Where the element's text can be read, a paste
// succeeds only once it reads as before with only the range replaced (within pasteLandDeadline);
// where it cannot, the paste is taken on trust once the source has read it. The panel may hold the
// keyboard (its question field), so the source window is made active again before the paste; no
// other window of the same application will do. Nothing is written where the captured text is no
// longer, and nothing more where a write changed the text otherwise: it is put back where only the
// written range changed, and the write has failed. Keeps no state.
namespace Replacer {

// How long a paste waits for another borrower (a copy capture) to give the clipboard back.
inline constexpr Duration clipboardLeaseWait{2000};
// How long the source application has to read the pasted text from the clipboard.
inline constexpr Duration pasteReadDeadline{3000};
// How long, once the source has read the pasted text, its element's text has to show the paste,
// and how often it is read meanwhile (the application inserts it on a later turn of its loop).
inline constexpr Duration pasteLandDeadline{2000};
inline constexpr Duration pasteLandPollInterval{50};
// How long the source window has to become active again before a paste, and how often it is
// checked.
inline constexpr Duration activationTimeout{300};
inline constexpr Duration activationPollInterval{20};
inline const QString failureMessage =
    QStringLiteral("não consegui substituir aqui — use Copiar resultado");

QCoro::Task<ReplaceOutcome> replace(ReplacementPlatform platform, SelectionSnapshot snapshot,
                                    QString newText);

enum class AccessibilityWrite {
    replaced,
    selectionChanged, // the range no longer holds the captured text: nothing written
    notWritten,       // refused or not tried, the text as it was: a paste may follow
    // These have failed, and nothing more is written.
    undone,  // changed other than asked, and put back as it was
    damaged, // changed other than asked and not put back, or unreadable after the write
};

// The building blocks, public for tests. This one runs on the accessibility thread.
AccessibilityWrite replaceViaAccessibility(AccessibilityServices& accessibility,
                                           const SelectionSnapshot& snapshot,
                                           const QString& newText);
// Makes the snapshot's window (else, where windows are not named, its application) active,
// waiting up to `activationTimeout`; whether it is.
QCoro::Task<bool> bringToFront(ReplacementPlatform platform, const SelectionSnapshot& snapshot);
QCoro::Task<ReplaceOutcome> replaceViaPaste(ReplacementPlatform platform,
                                            SelectionSnapshot snapshot, QString newText);

} // namespace Replacer

// The write-back as the panel's view model sees it, so its tests can script the answer.
class TextReplacing {
public:
    virtual ~TextReplacing() = default;
    virtual QCoro::Task<ReplaceOutcome> replace(SelectionSnapshot snapshot, QString newText) = 0;
};

// The real write-back over the platform.
class PlatformTextReplacing final : public TextReplacing {
public:
    // `ownWrites`, when given, hears of every write for as long as it runs.
    explicit PlatformTextReplacing(ReplacementPlatform platform, OwnWrites* ownWrites = nullptr)
        : m_platform(platform), m_ownWrites(ownWrites) {}
    QCoro::Task<ReplaceOutcome> replace(SelectionSnapshot snapshot, QString newText) override;

private:
    ReplacementPlatform m_platform;
    OwnWrites* m_ownWrites;
};

} // namespace ovra
