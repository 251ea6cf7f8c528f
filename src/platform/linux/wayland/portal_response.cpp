#include "platform/linux/wayland/portal_response.h"

#include <qcoro/qcorosignal.h>

namespace ovra::platform {

QCoro::Task<std::optional<PortalResponse::Answer>>
PortalResponse::wait(std::chrono::milliseconds deadline) {
    if (!m_answer)
        co_await qCoro(this, &PortalResponse::answered, deadline);
    co_return m_answer;
}

void PortalResponse::take(uint code, const QVariantMap& results) {
    if (m_answer)
        return;
    m_answer = Answer{code, results};
    Q_EMIT answered();
}

} // namespace ovra::platform
