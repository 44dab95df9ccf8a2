#include "kpexportwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kNameMaxBytes = 255;
// zlib's level 1: a fifth of the default level's time on a composed picture,
// for files about a third larger.
const int kPngQuality = 85;
const int kMaxCounter = 1000;
// " (1000)" at most after a subfolder's name.
const int kCounterBytes = 7;

QString fileError(const QFile &file)
{
    return QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
}

// O_EXCL: an existing file, or a link of any kind, is never opened.
bool createNew(QFile *file, QString *error)
{
    if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return true;
    *error = fileError(*file);
    return false;
}

// Encoded in memory first, so that a full disk fails a plain write and the
// encoder is never left half way through a file.
bool writePng(const QString &path, const QImage &image, QString *error)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(kPngQuality);
        if (!writer.write(image)) {
            *error = QStringLiteral("cannot encode %1: %2").arg(path, writer.errorString());
            return false;
        }
    }
    QFile file(path);
    if (!createNew(&file, error))
        return false;
    // A short write is the disk filling up; the next one says so.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + done, bytes.size() - done);
        if (count <= 0) {
            *error = fileError(file);
            return false;
        }
        done += count;
    }
    return true;
}

// rename(2) would replace an empty folder of the same name.
bool renameNew(const QString &from, const QString &to, int *failure)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    *failure = errno;
    return false;
}

void removeStaging(const QString &path)
{
    if (!path.isEmpty())
        QDir(path).removeRecursively();
}

} // namespace

KPExportWriter::KPExportWriter() = default;

KPExportWriter::~KPExportWriter()
{
    m_handout.end();
    m_handoutFile.reset();
    if (!m_published)
        removeStaging(m_staging);
}

bool KPExportWriter::open(const QString &folder, const QString &handoutName, const KPHandout::Options &handout,
                          QString *error)
{
    m_folder = folder;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".kp-export-XXXXXX")));
    if (!mkdtemp(pattern.data())) {
        *error = QStringLiteral("cannot write into %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_staging = QFile::decodeName(pattern);
    m_handoutFile = std::make_unique<QFile>(QDir(m_staging).filePath(handoutName));
    if (!createNew(m_handoutFile.get(), error))
        return false;
    if (!m_handout.begin(m_handoutFile.get(), handout)) {
        *error = QStringLiteral("cannot start the handout %1").arg(m_handoutFile->fileName());
        return false;
    }
    return true;
}

bool KPExportWriter::add(const QString &caption, const QString &fileName, const QImage &image,
                         const QImage &printed, QString *error)
{
    if (!writePng(QDir(m_staging).filePath(fileName), image, error))
        return false;
    m_handout.addPicture(caption, printed.isNull() ? image : printed);
    if (m_handoutFile->error() != QFileDevice::NoError) {
        *error = fileError(*m_handoutFile);
        return false;
    }
    return true;
}

void KPExportWriter::addMissing(const QString &caption, const QString &reason)
{
    m_handout.addMissing(caption, reason);
}

bool KPExportWriter::finishHandout(QString *error)
{
    m_handout.end();
    const bool written = m_handoutFile->error() == QFileDevice::NoError && m_handoutFile->flush();
    if (!written)
        *error = fileError(*m_handoutFile);
    m_handoutFile->close();
    return written;
}

bool KPExportWriter::publish(const QString &subfolder, QString *path, QString *error)
{
    if (!finishHandout(error))
        return false;
    const QDir folder(m_folder);
    int failure = 0;
    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        const QString name = counter == 1 ? subfolder : QStringLiteral("%1 (%2)").arg(subfolder).arg(counter);
        *path = folder.absoluteFilePath(name);
        if (renameNew(m_staging, *path, &failure)) {
            m_published = true;
            // mkdtemp made the folder private to its owner.
            chmod(QFile::encodeName(*path).constData(), 0755);
            return true;
        }
        if (failure != EEXIST)
            break;
    }
    *error = QStringLiteral("cannot publish the export as %1: %2")
                 .arg(folder.filePath(subfolder), QString::fromLocal8Bit(std::strerror(failure)));
    return false;
}

QString KPExportWriter::fitName(const QString &stem, const QString &tail)
{
    const int room = kNameMaxBytes - tail.toUtf8().size();
    QString fitted = stem;
    while (!fitted.isEmpty() && fitted.toUtf8().size() > room)
        fitted.chop(fitted.size() >= 2 && fitted.at(fitted.size() - 1).isLowSurrogate() ? 2 : 1);
    return fitted + tail;
}

QString KPExportWriter::safeStem(const QString &text)
{
    QString stem;
    for (const QChar c : text)
        stem += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.') ? c : QLatin1Char('_');
    while (stem.startsWith(QLatin1Char('.')))
        stem.remove(0, 1);
    return stem.isEmpty() ? QStringLiteral("picture") : stem;
}

QStringList KPExportWriter::pictureNames(const QStringList &stems)
{
    QStringList names;
    QSet<QString> taken;
    for (const QString &stem : stems) {
        const QString base = safeStem(stem);
        QString name = fitName(base, QStringLiteral("-annotated.png"));
        for (int counter = 2; taken.contains(name.toLower()); ++counter)
            name = fitName(base, QStringLiteral("-annotated-%1.png").arg(counter));
        taken.insert(name.toLower());
        names << name;
    }
    return names;
}

QString KPExportWriter::subfolderName(const QString &source, const QDateTime &time)
{
    // Spaces stay, as in the source's name; separators and control characters do not.
    QString name;
    for (const QChar c : source)
        name += c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control ? QLatin1Char('_') : c;
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("export");
    const QString tail = QLatin1Char(' ') + time.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    return fitName(name, tail + QString(kCounterBytes, QLatin1Char(' '))).chopped(kCounterBytes);
}
