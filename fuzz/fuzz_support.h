#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace ovra::fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// One private folder for the whole run; files in it are rewritten for every input.
inline const QTemporaryDir& scratch() {
    static const QTemporaryDir dir;
    return dir;
}

inline QString writeScratchFile(const QString& name, const QByteArray& content) {
    const QString path = scratch().filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return path;
}

} // namespace ovra::fuzz
