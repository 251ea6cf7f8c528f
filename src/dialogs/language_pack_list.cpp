#include "dialogs/language_pack_list.h"

#include "support/errors.h"
#include "support/work_owner.h"

namespace ovra {

const QStringList& LanguagePackList::packCodes() {
    static const QStringList codes{
        QStringLiteral("ar"), QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant"),
        QStringLiteral("nl"), QStringLiteral("en"),      QStringLiteral("fr"),
        QStringLiteral("de"), QStringLiteral("hi"),      QStringLiteral("id"),
        QStringLiteral("it"), QStringLiteral("ja"),      QStringLiteral("ko"),
        QStringLiteral("pl"), QStringLiteral("pt"),      QStringLiteral("ru"),
        QStringLiteral("es"), QStringLiteral("th"),      QStringLiteral("tr"),
        QStringLiteral("uk"), QStringLiteral("vi"),
    };
    return codes;
}

LanguagePackList::LanguagePackList(TranslationService& service, QString baseCode, QObject* parent)
    : QObject(parent), m_service(service), m_baseCode(std::move(baseCode)), m_coordinator(service) {
    connect(&m_coordinator, &PackDownloadCoordinator::finished, this, [this](const QString& code) {
        if (const auto& reason = m_coordinator.lastFailure()) {
            m_failures[code] = *reason;
            Q_EMIT packStatusChanged(code);
        }
        startRefresh();
    });
    connect(&m_coordinator, &PackDownloadCoordinator::failed, this,
            &LanguagePackList::downloadFailed);
}

LanguagePackList::~LanguagePackList() = default;

void LanguagePackList::setPackBaseCode(const QString& code) {
    if (code == m_baseCode)
        return;
    m_baseCode = code;
    m_failures.clear();
    startRefresh();
}

LanguagePackList::PackStatus LanguagePackList::status(const QString& code) const {
    const auto found = m_statuses.find(code);
    return found == m_statuses.end() ? PackStatus::checking : found->second;
}

std::optional<QString> LanguagePackList::failure(const QString& code) const {
    const auto found = m_failures.find(code);
    if (found == m_failures.end())
        return std::nullopt;
    return found->second;
}

LanguagePackList::PackStatus
LanguagePackList::fromAvailability(LanguageAvailabilityStatus availability) {
    switch (availability) {
    case LanguageAvailabilityStatus::installed:
        return PackStatus::installed;
    case LanguageAvailabilityStatus::supported:
        return PackStatus::available;
    case LanguageAvailabilityStatus::unsupported:
        break;
    }
    return PackStatus::unsupported;
}

void LanguagePackList::setStatus(const QString& code, PackStatus status) {
    const auto found = m_statuses.find(code);
    if (found != m_statuses.end() && found->second == status)
        return;
    m_statuses[code] = status;
    Q_EMIT packStatusChanged(code);
}

QCoro::Task<void> LanguagePackList::refreshPackStatuses(CancelToken token) {
    const WorkOwner owner(this);
    const QString base = m_baseCode;
    for (const QString& code : packCodes()) {
        token.throwIfCancelled();
        // A newer base has its own refresh; answers for the old one would be wrong now.
        if (m_baseCode != base)
            co_return;
        if (code == base) {
            setStatus(code, PackStatus::installed);
        } else if (m_coordinator.downloadingCode() == code) {
            setStatus(code, PackStatus::downloading);
        } else {
            const LanguageAvailabilityStatus availability =
                co_await m_service.status(base, code, token);
            if (!owner)
                co_return;
            if (m_baseCode != base)
                co_return;
            // A download may have started for this row while the answer was coming.
            if (m_coordinator.downloadingCode() == code)
                continue;
            setStatus(code, fromAvailability(availability));
        }
    }
}

void LanguagePackList::startRefresh() {
    // Runs on by itself, for as long as this list is there; nothing cancels it.
    refreshPackStatuses({});
}

void LanguagePackList::downloadPack(const QString& code) {
    m_failures.erase(code);
    setStatus(code, PackStatus::downloading);
    m_coordinator.download(m_baseCode, code, code);
}

} // namespace ovra
