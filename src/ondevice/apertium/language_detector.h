#pragma once

#include <QString>
#include <QStringList>

namespace ovra {

// Guesses the language of a text with libexttextcat's n-gram fingerprints. The fingerprints
// are loaded on first use and kept. Main thread only.
class LanguageDetector {
public:
    static QString defaultDataDir() { return QStringLiteral("/usr/share/libexttextcat/"); }

    // `dataDir` holds fpdb.conf and the *.lm fingerprint files.
    explicit LanguageDetector(QString dataDir = defaultDataDir());
    ~LanguageDetector();
    LanguageDetector(const LanguageDetector&) = delete;
    LanguageDetector& operator=(const LanguageDetector&) = delete;

    // The likely languages of `text`, best first, as canonical codes ("en", "pt", "zh"); empty
    // when the text is too short or unlike any known language, or the data is missing.
    QStringList candidates(const QString& text);

private:
    bool load();

    QString m_dataDir;
    void* m_handle = nullptr;
    bool m_loadFailed = false;
};

} // namespace ovra
