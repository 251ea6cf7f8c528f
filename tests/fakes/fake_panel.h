#pragma once

#include "engines/one_shot.h"
#include "engines/translation_coordinator.h"
#include "panel/panel_engines.h"
#include "panel/replacer.h"
#include "platform/panel_window.h"

#include <QList>
#include <memory>

namespace ovra::test {

// One engine call the panel made, waiting for the test to answer it.
struct PendingCall {
    QString operation; // "translate", "reformulate", "review", "summarize", "ask"
    QString text;
    QString target; // language code, translate only
    CancelToken token;
    TextProgress progress; // hands the panel the answer written so far
    std::shared_ptr<OneShot<EngineOutcome>> outcome = OneShot<EngineOutcome>::make();
    std::shared_ptr<OneShot<QString>> answer = OneShot<QString>::make();

    void succeed(QString result, EngineKind engine = EngineKind::google, bool fallback = false) {
        outcome->resolve({std::move(result), engine, fallback});
    }
    template <typename E> void fail(E error) { fail(std::make_exception_ptr(std::move(error))); }
    void fail(std::exception_ptr error) {
        outcome->fail(error);
        answer->fail(error);
    }
};

// Engines whose every call waits until the test answers it. Translations can instead go to the
// real coordinator, as on-device translation does.
class FakePanelEngines final : public PanelEngines {
public:
    QList<std::shared_ptr<PendingCall>> calls;
    int chatsMade = 0;
    bool translateOnDevice = false;
    TranslationCoordinator coordinator;

    std::shared_ptr<PendingCall> last() const { return calls.isEmpty() ? nullptr : calls.last(); }

    QCoro::Task<EngineOutcome> translate(QString text, TargetLanguage target, CancelToken token,
                                         TextProgress progress) override;
    QCoro::Task<EngineOutcome> reformulate(QString text, CancelToken token,
                                           TextProgress progress) override {
        return wait(QStringLiteral("reformulate"), std::move(text), {}, std::move(token),
                    std::move(progress));
    }
    QCoro::Task<EngineOutcome> runAction(AIActionKind kind, QString text, CancelToken token,
                                         TextProgress progress) override {
        return wait(kind == AIActionKind::review ? QStringLiteral("review")
                                                 : QStringLiteral("summarize"),
                    std::move(text), {}, std::move(token), std::move(progress));
    }
    std::shared_ptr<PanelChat> makeChat(QString selection) override;
    TranslationCoordinator& translationCoordinator() override { return coordinator; }

private:
    QCoro::Task<EngineOutcome> wait(QString operation, QString text, QString target,
                                    CancelToken token, TextProgress progress);
};

// A write-back whose outcome the test gives.
class FakeTextReplacing final : public TextReplacing {
public:
    struct Call {
        SelectionSnapshot snapshot;
        QString text;
        std::shared_ptr<OneShot<ReplaceOutcome>> outcome = OneShot<ReplaceOutcome>::make();
    };
    QList<std::shared_ptr<Call>> calls;

    QCoro::Task<ReplaceOutcome> replace(SelectionSnapshot snapshot, QString newText) override;
};

// A window that records what the controller does with it; its content height is set by the test.
class FakePanelWindow final : public PanelWindow {
public:
    struct FrameChange {
        QRectF frame;
        bool animated;
    };
    QList<FrameChange> frameChanges;
    std::optional<double> contentHeight = 120;
    bool visible = false;
    int showCount = 0;
    int hideWindowCount = 0;
    int layoutPasses = 0;
    QRectF currentFrame;

    QRectF frame() const override { return currentFrame; }
    void setFrame(const QRectF& frame, bool animated) override {
        currentFrame = frame;
        frameChanges.append({frame, animated});
    }
    void showWithoutActivating() override {
        visible = true;
        ++showCount;
    }
    void hideWindow() override {
        visible = false;
        ++hideWindowCount;
    }
    bool isVisible() const override { return visible; }
    void layoutContent() override { ++layoutPasses; }
    std::optional<double> fittingHeight() const override { return contentHeight; }
};

} // namespace ovra::test
