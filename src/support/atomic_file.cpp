#include "support/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovra {

namespace {

bool makeFolder(const QString& folder, mode_t mode) {
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder && !makeFolder(parent, mode))
        return false;
    const QByteArray native = QFile::encodeName(folder);
    return ::mkdir(native.constData(), mode) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const QByteArray& data) {
    const char* cursor = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, cursor, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        cursor += written;
        left -= written;
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode, mode_t dirMode) {
    const QFileInfo info(path);
    if (!makeFolder(info.absolutePath(), dirMode))
        return false;

    QByteArray temp = QFile::encodeName(info.absoluteFilePath()) + ".XXXXXX";
    // mkstemp creates the file owner-only (0600); fchmod then sets exactly the mode asked for.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok =
            ::rename(temp.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

std::optional<QByteArray> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace ovra
