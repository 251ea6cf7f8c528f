#include "support/cancellation.h"
#include "support/errors.h"
#include "support/sleep.h"
#include "support/timer_scheduler.h"
#include "support/virtual_clock.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <string>
#include <type_traits>
#include <vector>

using namespace std::chrono_literals;
using ovra::CancelSource;
using ovra::Duration;
using ovra::VirtualClock;
using namespace Qt::StringLiterals;

TEST(VirtualClock, RunsDueWorkInOrderOfDueTimeThenSchedulingNeverInlineNorOnceCancelled) {
    VirtualClock clock;
    std::vector<std::string> order;
    clock.schedule(30ms, [&] { order.push_back("c30"); });
    clock.schedule(10ms, [&] { order.push_back("a10"); });
    clock.schedule(10ms, [&] { order.push_back("b10"); });
    clock.schedule(31ms, [&] { order.push_back("late"); });

    clock.advance(29ms);
    EXPECT_EQ(order, (std::vector<std::string>{"a10", "b10"}));
    clock.advance(1ms);
    EXPECT_EQ(order, (std::vector<std::string>{"a10", "b10", "c30"}));
    EXPECT_EQ(clock.now(), 30ms);
    EXPECT_EQ(clock.pendingCount(), 1u);

    // Work scheduled while advancing runs when it falls due.
    std::vector<Duration> ranAt;
    clock.schedule(10ms, [&] {
        ranAt.push_back(clock.now());
        clock.schedule(5ms, [&] { ranAt.push_back(clock.now()); });
        clock.schedule(50ms, [&] { ranAt.push_back(clock.now()); });
    });
    clock.advance(20ms);
    EXPECT_EQ(ranAt, (std::vector<Duration>{40ms, 45ms}));
    EXPECT_EQ(clock.now(), 50ms);

    int runs = 0;
    const auto id = clock.schedule(5ms, [&] { ++runs; });
    clock.schedule(0ms, [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    clock.cancel(id);
    clock.cancel(9999); // unknown ids are ignored
    clock.advance(10ms);
    EXPECT_EQ(runs, 1);
}

namespace {
QCoro::Task<void> sleepThenRecord(ovra::Scheduler& scheduler, Duration delay,
                                  ovra::CancelToken token, std::vector<std::string>& log) {
    try {
        co_await ovra::sleepFor(scheduler, delay, token);
        log.push_back("woke");
    } catch (const ovra::CancelledError&) {
        log.push_back("cancelled");
    }
}
} // namespace

TEST(ScheduledWork, ReschedulingReplacesDestructionCancelsAndSleepsEndWhenDueOrCancelled) {
    VirtualClock clock;
    std::vector<int> runs;
    {
        ovra::ScheduledWork work(clock);
        work.schedule(100ms, [&] { runs.push_back(1); });
        clock.advance(50ms);
        work.schedule(100ms, [&] { runs.push_back(2); }); // a later gesture replaces the first
        EXPECT_TRUE(work.isPending());
        clock.advance(60ms);
        EXPECT_TRUE(runs.empty());
        clock.advance(40ms);
        EXPECT_EQ(runs, std::vector<int>{2});
        EXPECT_FALSE(work.isPending());
        work.schedule(10ms, [&] { runs.push_back(3); });
    }
    clock.advance(100ms);
    EXPECT_EQ(runs, std::vector<int>{2});
    EXPECT_FALSE(clock.hasPending());

    // A sleep resumes on the virtual clock when due, and at once when cancelled.
    std::vector<std::string> log;
    auto task = sleepThenRecord(clock, 180ms, {}, log);
    clock.advance(179ms);
    EXPECT_TRUE(log.empty());
    clock.advance(1ms);
    EXPECT_EQ(log, std::vector<std::string>{"woke"});
    EXPECT_TRUE(task.isReady());

    // Cancelled, it resumes at once and drops its timer.
    CancelSource source;
    auto cancelled = sleepThenRecord(clock, 180ms, source.token(), log);
    clock.advance(100ms);
    source.cancel();
    EXPECT_EQ(log, (std::vector<std::string>{"woke", "cancelled"}));
    EXPECT_FALSE(clock.hasPending());
    clock.advance(500ms);
    EXPECT_EQ(log, (std::vector<std::string>{"woke", "cancelled"}));

    // A token cancelled before the sleep never waits at all.
    auto again = sleepThenRecord(clock, 180ms, source.token(), log);
    EXPECT_EQ(log, (std::vector<std::string>{"woke", "cancelled", "cancelled"}));
    EXPECT_FALSE(clock.hasPending());
}

TEST(Cancellation, SubscriptionsEndWithTheirOwnerCallbacksRunOnceAndErrorsAreNoCancellation) {
    CancelSource source;
    int first = 0;
    int second = 0;
    auto keep = source.token().onCancel([&] { ++first; });
    {
        auto dropped = source.token().onCancel([&] { ++second; });
    }
    source.cancel();
    source.cancel();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_THROW(source.token().throwIfCancelled(), ovra::CancelledError);
    EXPECT_NO_THROW(ovra::CancelToken().throwIfCancelled());
    // A handler for user-facing errors never sees a cancellation; their text is UTF-8.
    static_assert(!std::is_base_of_v<ovra::Error, ovra::CancelledError>);
    EXPECT_STREQ(ovra::Error(u"Sem conexão"_s).what(), "Sem conexão");
}

TEST(TimerScheduler, RunsOnTheEventLoopAndCancels) {
    ovra::TimerScheduler scheduler;
    std::vector<int> ran;
    const auto dropped = scheduler.schedule(1ms, [&] { ran.push_back(1); });
    scheduler.schedule(5ms, [&] { ran.push_back(2); });
    scheduler.cancel(dropped);
    EXPECT_TRUE(ran.empty()); // never inline

    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    scheduler.schedule(10ms, [&] { loop.quit(); });
    loop.exec();
    EXPECT_EQ(ran, std::vector<int>{2});
    EXPECT_GE(scheduler.now(), 10ms);
}
