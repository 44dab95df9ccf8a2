#include "kpfilereader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tooLarge(qint64 limit)
{
    if (limit < 1024 * 1024)
        return QStringLiteral("larger than %1 KiB").arg(limit / 1024);
    return QStringLiteral("larger than %1 MiB").arg(limit / (1024 * 1024));
}

} // namespace

bool KPFileReader::read(const QString &path, QByteArray *bytes, QString *reason, qint64 limit)
{
    // Opened without blocking, so a FIFO with no writer cannot stall the open,
    // then checked on the open descriptor, so the check is about what is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *reason = QStringLiteral("not a regular file");
        return false;
    }
    if (info.st_size > limit) {
        ::close(fd);
        *reason = tooLarge(limit);
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *reason = file.errorString();
        return false;
    }
    // The size may have grown since fstat: read one byte past the bound to tell.
    *bytes = file.read(limit + 1);
    if (bytes->size() > limit) {
        bytes->clear();
        *reason = tooLarge(limit);
        return false;
    }
    return true;
}
