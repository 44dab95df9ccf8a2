#include "gifwriter.h"

#include <QByteArray>
#include <QFile>

namespace {

void put16(QByteArray &out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

// LZW with a 4-colour table: minimum code size 2, so clear is 4, end is 5 and
// codes are 3 bits wide. A clear code before every pixel keeps the decoder's
// table from growing, which makes the stream valid without compressing.
QByteArray pixelStream(int pixels, int colourIndex)
{
    QByteArray bytes;
    quint32 buffer = 0;
    int bits = 0;
    const auto writeCode = [&](int code) {
        buffer |= quint32(code) << bits;
        bits += 3;
        while (bits >= 8) {
            bytes.append(char(buffer & 0xff));
            buffer >>= 8;
            bits -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        writeCode(4);
        writeCode(colourIndex);
    }
    writeCode(5);
    if (bits > 0)
        bytes.append(char(buffer & 0xff));
    QByteArray blocks;
    for (int i = 0; i < bytes.size(); i += 255) {
        const QByteArray block = bytes.mid(i, 255);
        blocks.append(char(block.size()));
        blocks.append(block);
    }
    blocks.append('\0');
    return blocks;
}

} // namespace

bool writeFlatGif(const QString &path, int width, int height, const QList<QColor> &frames, int delayCs)
{
    if (frames.isEmpty())
        return false;
    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out.append(char(0x91)); // global table of 4 colours
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 4; ++i) {
        const QColor colour = frames.value(i, Qt::black);
        out.append(char(colour.red()));
        out.append(char(colour.green()));
        out.append(char(colour.blue()));
    }
    out.append(QByteArray("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19));
    for (int i = 0; i < frames.size(); ++i) {
        out.append(QByteArray("\x21\xf9\x04\x00", 4));
        put16(out, delayCs);
        out.append(QByteArray("\x00\x00", 2));
        out.append(char(0x2c));
        put16(out, 0);
        put16(out, 0);
        put16(out, width);
        put16(out, height);
        out.append('\0');
        out.append(char(2));
        out.append(pixelStream(width * height, i % 4));
    }
    out.append(char(0x3b));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}
