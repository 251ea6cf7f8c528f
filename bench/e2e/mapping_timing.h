#pragma once

// What the desktop benchmarks share: waiting for a window's map or unmap on the X connection, and
// the percentiles they print.

#include <algorithm>
#include <chrono>
#include <optional>
#include <poll.h>
#include <vector>

#include <X11/Xlib.h>

namespace ovra::bench {

using Clock = std::chrono::steady_clock;

// The value below which the fraction `p` of `values` lie (nearest rank); 0 for none.
inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(
        std::clamp(p * double(values.size() - 1) + 0.5, 0.0, double(values.size() - 1)));
    return values[index];
}

// Waits for a MapNotify or UnmapNotify of `window`; the time it arrived, or nothing.
inline std::optional<Clock::time_point> waitForMapping(Display* display, Window window, int type,
                                                       std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == type && event.xany.window == window)
                return Clock::now();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, int(left.count()));
    }
}

} // namespace ovra::bench
