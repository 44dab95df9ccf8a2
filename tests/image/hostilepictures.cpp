#include "hostilepictures.h"

#include "gifwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

#include <sys/stat.h>
#include <unistd.h>

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32(QByteArray &out, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char(value >> (24 - 8 * i));
}

QByteArray png(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A small PNG whose header claims another size, with a valid header checksum.
QByteArray claimedPng(quint32 width, quint32 height)
{
    QByteArray bytes = png({4, 4});
    put32(bytes, 16, width);
    put32(bytes, 20, height);
    put32(bytes, 29, crc32(bytes.mid(12, 17)));
    return bytes;
}

QByteArray claimedBmp(qint32 width, qint32 height)
{
    QByteArray bytes(54, '\0');
    const auto put = [&bytes](int at, qint32 value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, 54);
    put(10, 54);
    put(14, 40);
    put(18, width);
    put(22, height);
    bytes[26] = 1;
    bytes[28] = 32;
    return bytes;
}

// One 1x1 frame on a 1x1 screen, then a second frame at (65535, 65535) of
// 65535 by 65535: the decoder's canvas grows to hold it.
QByteArray offsetFrameGif()
{
    QByteArray frame = QByteArray::fromHex("2c0000000000010001000002024401" "00");
    QByteArray far = QByteArray::fromHex("2cffffffffffffffff000202440100");
    return QByteArray::fromHex("4749463839610100010080000000000000ffffff") + frame + far + ";";
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

QList<HostilePicture> writeHostilePictures(const QString &dir)
{
    const QDir folder(dir);
    QList<HostilePicture> all;
    const auto add = [&all, &folder](const char *name, const QString &file) {
        all.append({QString::fromLatin1(name), folder.filePath(file)});
    };
    const QByteArray good = png({64, 64});
    QByteArray badChecksum = good;
    badChecksum[badChecksum.size() - 20] = char(badChecksum[badChecksum.size() - 20] ^ 0x5a);
    const struct
    {
        const char *name;
        const char *file;
        QByteArray bytes;
    } files[] = {
        {"truncated", "truncated.png", good.left(good.size() / 2)},
        {"bad checksum", "checksum.png", badChecksum},
        {"claims 100000x100000", "huge.png", claimedPng(100000, 100000)},
        {"claims 16000x16000", "big.png", claimedPng(16000, 16000)},
        {"claims 20000x1", "wide.png", claimedPng(20000, 1)},
        {"BMP claims 15000x15000", "big.bmp", claimedBmp(15000, 15000)},
        {"offset frame GIF", "offset.gif", offsetFrameGif()},
        {"empty", "empty.png", QByteArray()},
    };
    for (const auto &file : files) {
        if (write(folder.filePath(QString::fromLatin1(file.file)), file.bytes))
            add(file.name, QString::fromLatin1(file.file));
    }
    if (writeFlatGif(folder.filePath(QStringLiteral("wide.gif")), 5000, 1, {Qt::red}, 10))
        add("GIF over 4096", QStringLiteral("wide.gif"));
    QList<QColor> frames;
    for (int i = 0; i < 5000; ++i)
        frames.append(Qt::red);
    if (writeFlatGif(folder.filePath(QStringLiteral("long.gif")), 1, 1, frames, 10))
        add("GIF of 5000 frames", QStringLiteral("long.gif"));
    if (folder.mkdir(QStringLiteral("folder.png")))
        add("a folder", QStringLiteral("folder.png"));
    if (mkfifo(folder.filePath(QStringLiteral("fifo.png")).toUtf8().constData(), 0600) == 0)
        add("a FIFO", QStringLiteral("fifo.png"));
    if (symlink("missing.png", folder.filePath(QStringLiteral("dangling.png")).toUtf8().constData()) == 0)
        add("a dangling symlink", QStringLiteral("dangling.png"));
    return all;
}
