#include "platform/linux/process_exit_watch.h"

#include <QSocketNotifier>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace ovra::platform {

std::unique_ptr<ProcessExitWatch> ProcessExitWatch::start(qint32 pid,
                                                          std::function<void()> onExit) {
#ifdef SYS_pidfd_open
    if (pid <= 0)
        return nullptr;
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<ProcessExitWatch>(new ProcessExitWatch(fd, std::move(onExit)));
#else
    Q_UNUSED(pid);
    Q_UNUSED(onExit);
    return nullptr;
#endif
}

ProcessExitWatch::ProcessExitWatch(int fd, std::function<void()> onExit)
    : m_fd(fd), m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)),
      m_onExit(std::move(onExit)) {
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        // Once: the descriptor stays readable after the end.
        m_notifier->setEnabled(false);
        if (auto onExit = std::exchange(m_onExit, nullptr))
            onExit();
    });
}

ProcessExitWatch::~ProcessExitWatch() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace ovra::platform
