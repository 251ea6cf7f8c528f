#include "platform/linux/wayland/selection_event_monitors.h"

#include "fakes/fake_input.h"

#include <gtest/gtest.h>

namespace ovra::platform {
namespace {

// Each watcher hears only the kinds it asked for; a kind a Wayland session cannot see gets no
// watcher at all.
TEST(SelectionEventMonitors, EachWatcherHearsOnlyItsKindsOfReport) {
    test::FakeInputMonitors local;
    SelectionEventMonitors monitors(local);
    QList<InputEventType> changes, settles, both;
    const auto into = [](QList<InputEventType>& heard) {
        return [&heard](const InputEvent& event) { heard.append(event.type); };
    };
    const Subscription changed =
        monitors.addGlobalMonitor(InputEventType::SelectionChanged, into(changes));
    const Subscription settled =
        monitors.addGlobalMonitor(InputEventType::SelectionSettled, into(settles));
    ASSERT_TRUE(changed && settled);
    Subscription all =
        monitors.addGlobalMonitor(InputEventTypes(InputEventType::SelectionChanged) |
                                      InputEventType::SelectionSettled | InputEventType::KeyDown,
                                  into(both));
    ASSERT_TRUE(all);
    EXPECT_FALSE(monitors.addGlobalMonitor(InputEventType::KeyDown, into(both)));

    monitors.selectionChanged(7);
    monitors.selectionSettled(7);
    all.reset();
    monitors.selectionSettled(7);

    EXPECT_EQ(changes, QList<InputEventType>{InputEventType::SelectionChanged});
    EXPECT_EQ(settles, QList<InputEventType>(2, InputEventType::SelectionSettled));
    EXPECT_EQ(both, (QList<InputEventType>{InputEventType::SelectionChanged,
                                           InputEventType::SelectionSettled}));
}

} // namespace
} // namespace ovra::platform
