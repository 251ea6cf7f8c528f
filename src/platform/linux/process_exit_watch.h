#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace ovra::platform {

// Tells once when a process exits, through a pidfd that becomes readable at its end. Works for
// any process of this user, child or not. Main thread only.
class ProcessExitWatch {
public:
    // Nothing when the process is already gone or the kernel has no pidfd (before Linux 5.3).
    static std::unique_ptr<ProcessExitWatch> start(qint32 pid, std::function<void()> onExit);
    ~ProcessExitWatch();
    ProcessExitWatch(const ProcessExitWatch&) = delete;
    ProcessExitWatch& operator=(const ProcessExitWatch&) = delete;

private:
    ProcessExitWatch(int fd, std::function<void()> onExit);

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onExit;
};

} // namespace ovra::platform
