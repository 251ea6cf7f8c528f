#pragma once

#include "dialogs/language_pack_downloads.h"
#include "platform/language_services.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <map>

namespace ovra {

// The language packs the preferences window lists: the status of each of the 20 pack languages
// when translating from the chosen base language, and their downloads. Main thread only.
class LanguagePackList : public QObject {
    Q_OBJECT
public:
    enum class PackStatus { checking, installed, available, unsupported, downloading };

    // The pack languages, in the order shown, also offered as base languages.
    static const QStringList& packCodes();

    // `baseCode` is usually the interface language's raw value ("pt", "en", …).
    LanguagePackList(TranslationService& service, QString baseCode, QObject* parent = nullptr);
    ~LanguagePackList() override;

    const QString& packBaseCode() const { return m_baseCode; }
    // Changes the base and looks at every row again.
    void setPackBaseCode(const QString& code);

    // A code without an entry is still being checked.
    PackStatus status(const QString& code) const;
    const std::map<QString, PackStatus>& packStatuses() const { return m_statuses; }
    // Why the row's last download failed, when it failed with a reason to read; until the row's
    // next download or a base change.
    std::optional<QString> failure(const QString& code) const;

    // Asks the translator about every row, writing each answer as it comes. A refresh started
    // for another base than the current one stops writing. CancelledError once `token` is
    // cancelled.
    QCoro::Task<void> refreshPackStatuses(CancelToken token = {});
    // The same, running on by itself (on a base change and after each download).
    void startRefresh();

    // Marks the row as downloading and starts its download.
    void downloadPack(const QString& code);
    PackDownloadCoordinator& packCoordinator() { return m_coordinator; }

Q_SIGNALS:
    void packStatusChanged(const QString& code);
    // A download could not even start or failed with a reason to read.
    void downloadFailed(const QString& message);

private:
    void setStatus(const QString& code, PackStatus status);
    static PackStatus fromAvailability(LanguageAvailabilityStatus availability);

    TranslationService& m_service;
    QString m_baseCode;
    std::map<QString, PackStatus> m_statuses;
    std::map<QString, QString> m_failures;
    PackDownloadCoordinator m_coordinator;
};

} // namespace ovra
