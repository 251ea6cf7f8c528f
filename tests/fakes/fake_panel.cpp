#include "fakes/fake_panel.h"

#include "support/errors.h"

namespace ovra::test {

namespace {

class FakeChat final : public PanelChat {
public:
    explicit FakeChat(FakePanelEngines& engines) : m_engines(engines) {}
    QCoro::Task<QString> ask(QString question, CancelToken token, TextProgress progress) override {
        const auto call = std::make_shared<PendingCall>(PendingCall{
            QStringLiteral("ask"), std::move(question), {}, token, std::move(progress)});
        m_engines.calls.append(call);
        const auto subscription = token.onCancel(
            [call] { call->answer->fail(std::make_exception_ptr(CancelledError())); });
        co_return co_await call->answer->wait();
    }

private:
    FakePanelEngines& m_engines;
};

} // namespace

QCoro::Task<EngineOutcome> FakePanelEngines::wait(QString operation, QString text, QString target,
                                                  CancelToken token, TextProgress progress) {
    const auto call = std::make_shared<PendingCall>(PendingCall{
        std::move(operation), std::move(text), std::move(target), token, std::move(progress)});
    calls.append(call);
    const auto subscription =
        token.onCancel([call] { call->outcome->fail(std::make_exception_ptr(CancelledError())); });
    co_return co_await call->outcome->wait();
}

QCoro::Task<EngineOutcome> FakePanelEngines::translate(QString text, TargetLanguage target,
                                                       CancelToken token, TextProgress progress) {
    if (translateOnDevice) {
        const QString translated = co_await coordinator.translate(text, target, token);
        co_return EngineOutcome{translated, EngineKind::onDevice, false};
    }
    co_return co_await wait(QStringLiteral("translate"), text, target.code, token,
                            std::move(progress));
}

std::shared_ptr<PanelChat> FakePanelEngines::makeChat(QString) {
    ++chatsMade;
    return std::make_shared<FakeChat>(*this);
}

QCoro::Task<ReplaceOutcome> FakeTextReplacing::replace(SelectionSnapshot snapshot,
                                                       QString newText) {
    const auto call = std::make_shared<Call>(Call{std::move(snapshot), std::move(newText)});
    calls.append(call);
    co_return co_await call->outcome->wait();
}

} // namespace ovra::test
