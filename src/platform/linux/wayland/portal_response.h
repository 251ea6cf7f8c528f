#pragma once

#include <QObject>
#include <QVariantMap>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra::platform {

// The answer to one portal request: the Response signal on its handle, which must be listened to
// before the call is made (the portal may answer before the call's reply is read).
class PortalResponse final : public QObject {
    Q_OBJECT
public:
    struct Answer {
        uint code = 2; // 0 success, 1 cancelled by the user, 2 otherwise
        QVariantMap results;
    };

    // The answer, at once when it came already; nothing when none comes by `deadline`.
    QCoro::Task<std::optional<Answer>> wait(std::chrono::milliseconds deadline);

public Q_SLOTS:
    void take(uint code, const QVariantMap& results);

Q_SIGNALS:
    void answered();

private:
    std::optional<Answer> m_answer;
};

} // namespace ovra::platform
