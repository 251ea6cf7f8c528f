#include "platform/linux/wayland/active_window_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

namespace ovra::platform {

std::optional<std::optional<ActiveWindow>> parseActiveWindowReport(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue pidValue = object.value(QStringLiteral("pid"));
    if (!pidValue.isDouble())
        return std::nullopt;
    const qint64 pid = pidValue.toInteger(-1);
    if (pid < 0 || pid > std::numeric_limits<qint32>::max())
        return std::nullopt;
    if (pid == 0)
        return std::optional<ActiveWindow>();
    const auto rect = [&](const QString& key) -> std::optional<QRect> {
        const QJsonArray box = object.value(key).toArray();
        if (box.size() != 4)
            return std::nullopt;
        for (const QJsonValue& value : box) {
            if (!value.isDouble())
                return std::nullopt;
        }
        const QRect read(qRound(box[0].toDouble()), qRound(box[1].toDouble()),
                         qRound(box[2].toDouble()), qRound(box[3].toDouble()));
        return read.width() > 0 && read.height() > 0 ? std::optional(read) : std::nullopt;
    };
    const std::optional<QRect> area = rect(QStringLiteral("client"));
    if (!area)
        return std::nullopt;
    ActiveWindow window{static_cast<qint32>(pid),
                        object.value(QStringLiteral("resourceClass")).toString(),
                        WindowArea{*area, std::nullopt, rect(QStringLiteral("frame"))}};
    return std::optional<ActiveWindow>(std::move(window));
}

bool ActiveWindowReports::take(const QString& json) {
    const auto report = parseActiveWindowReport(json);
    if (!report)
        return false;
    m_store->set(*report);
    const qint32 pid = *report ? (*report)->pid : 0;
    // One process may show several applications, told apart by their windows' class.
    const QString windowClass = *report ? (*report)->resourceClass : QString();
    if (pid != m_lastPid || windowClass != m_lastClass) {
        m_lastPid = pid;
        m_lastClass = windowClass;
        if (m_onChange)
            m_onChange(pid);
    }
    return true;
}

} // namespace ovra::platform
