#include "support/errors.h"
#include "support/task_runner.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <qcoro/qcorotimer.h>

using namespace std::chrono_literals;

namespace {
QCoro::Task<int> answerLater() {
    QTimer timer;
    timer.start(1ms);
    co_await timer;
    co_return 42;
}
QCoro::Task<int> failAtOnce() {
    throw ovra::Error(QStringLiteral("falhou"));
    co_return 0;
}
QCoro::Task<void> failLater() {
    QTimer timer;
    timer.start(1ms);
    co_await timer;
    throw ovra::CancelledError();
}
} // namespace

TEST(TaskRunner, GivesResultsAndRethrowsFailuresWhetherEarlyOrLate) {
    EXPECT_EQ(ovra::test::runToEnd(answerLater()), 42);
    EXPECT_THROW(ovra::test::runToEnd(failAtOnce()), ovra::Error);
    EXPECT_THROW(ovra::test::runToEnd(failLater()), ovra::CancelledError);
}
