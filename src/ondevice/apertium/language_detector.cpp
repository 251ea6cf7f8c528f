#include "ondevice/apertium/language_detector.h"

#include "ondevice/apertium/apertium_languages.h"

#include <textcat.h>

namespace ovra {

namespace {

// A few hundred bytes decide the language; the rest only costs time.
constexpr qsizetype sampleBytes = 4096;
// Short selections are common here; the library's own minimum (25 bytes) refuses most of them.
constexpr int minimumDocumentBytes = 12;

// fpdb.conf names categories like "en--utf8" or "zh-CN-utf8".
QString categoryCode(QString category) {
    if (category.endsWith(u"-utf8"))
        category.chop(5);
    while (category.endsWith(QLatin1Char('-')))
        category.chop(1);
    return ApertiumLanguages::canonical(category);
}

} // namespace

LanguageDetector::LanguageDetector(QString dataDir) : m_dataDir(std::move(dataDir)) {
    if (!m_dataDir.endsWith(QLatin1Char('/')))
        m_dataDir += QLatin1Char('/');
}

LanguageDetector::~LanguageDetector() {
    if (m_handle)
        textcat_Done(m_handle);
}

bool LanguageDetector::load() {
    if (m_handle)
        return true;
    if (m_loadFailed)
        return false;
    const QByteArray conf = (m_dataDir + QStringLiteral("fpdb.conf")).toLocal8Bit();
    const QByteArray prefix = m_dataDir.toLocal8Bit();
    m_handle = special_textcat_Init(conf.constData(), prefix.constData());
    if (!m_handle) {
        m_loadFailed = true;
        return false;
    }
    textcat_SetProperty(m_handle, TCPROP_MINIMUM_DOCUMENT_SIZE, minimumDocumentBytes);
    return true;
}

QStringList LanguageDetector::candidates(const QString& text) {
    if (!load())
        return {};
    QByteArray sample = text.simplified().toUtf8();
    if (sample.size() > sampleBytes) {
        sample.truncate(sampleBytes);
        // Do not leave half a character at the cut.
        while (!sample.isEmpty() && (static_cast<unsigned char>(sample.back()) & 0xC0) == 0x80)
            sample.chop(1);
        if (!sample.isEmpty() && (static_cast<unsigned char>(sample.back()) & 0x80))
            sample.chop(1);
    }
    const char* result =
        textcat_Classify(m_handle, sample.constData(), static_cast<size_t>(sample.size()));
    if (!result || result[0] != '[')
        return {}; // "SHORT" or "UNKNOWN"

    QStringList codes;
    const QString list = QString::fromUtf8(result);
    qsizetype at = 0;
    while ((at = list.indexOf(QLatin1Char('['), at)) >= 0) {
        const qsizetype end = list.indexOf(QLatin1Char(']'), at);
        if (end < 0)
            break;
        const QString code = categoryCode(list.mid(at + 1, end - at - 1));
        if (!code.isEmpty() && !codes.contains(code))
            codes.append(code);
        at = end + 1;
    }
    return codes;
}

} // namespace ovra
