#include "kppictureprobe.h"

#include <QFile>
#include <QImageReader>

#include <sys/stat.h>

#include <algorithm>

namespace {

// Little-endian reads over a file, failing once the file runs out.
class ByteReader
{
public:
    explicit ByteReader(QFile &file) : m_file(file) {}

    bool byte(uint8_t *value)
    {
        char c = 0;
        if (!m_file.getChar(&c))
            return false;
        *value = static_cast<uint8_t>(c);
        return true;
    }
    bool word(uint32_t *value)
    {
        uint8_t low = 0;
        uint8_t high = 0;
        if (!byte(&low) || !byte(&high))
            return false;
        *value = low | (uint32_t(high) << 8);
        return true;
    }
    bool skip(qint64 count) { return count == 0 || m_file.skip(count) == count; }
    // A chain of data sub-blocks, each led by its length, ended by length 0.
    bool skipSubBlocks()
    {
        uint8_t length = 0;
        do {
            if (!byte(&length) || !skip(length))
                return false;
        } while (length != 0);
        return true;
    }

private:
    QFile &m_file;
};

bool hasSuffix(const QByteArray &path, const char *suffix)
{
    return path.toLower().endsWith(suffix);
}

uint32_t colourTableBytes(uint8_t flags)
{
    return (flags & 0x80) ? 3u * (2u << (flags & 7)) : 0u;
}

} // namespace

KPPictureProbe::KPPictureProbe(const QByteArray &path) : m_path(path)
{
    if (!isRegularFile(path)) {
        m_reason = QStringLiteral("not a regular file");
        return;
    }
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        m_reason = QStringLiteral("cannot be opened");
        return;
    }
    const QByteArray magic = file.peek(6);
    file.close();
    const bool gifName = hasSuffix(path, ".gif");
    const bool gif = magic.startsWith("GIF87a") || magic.startsWith("GIF89a");
    bool read = false;
    if (gifName || gif)
        // libobs animates only files named .gif; any other name shows the first frame.
        read = gif && readGif(gifName);
    else if (hasSuffix(path, ".tga"))
        read = readTga();
    else
        read = readWithQt();
    if (!read) {
        if (m_reason.isEmpty())
            m_reason = QStringLiteral("unreadable header");
        return;
    }
    checkBudget(gifName);
}

bool KPPictureProbe::isRegularFile(const QByteArray &path)
{
    struct stat info = {};
    return !path.isEmpty() && stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The decoder's canvas grows to hold every frame's rectangle, and an
// animation keeps every frame decoded: each frame's descriptor is read.
bool KPPictureProbe::readGif(bool everyFrame)
{
    QFile file(QFile::decodeName(m_path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    ByteReader in(file);
    uint8_t flags = 0;
    if (!in.skip(6) || !in.word(&m_width) || !in.word(&m_height) || !in.byte(&flags) || !in.skip(2)
        || !in.skip(colourTableBytes(flags)))
        return false;
    m_frames = 0;
    for (;;) {
        uint8_t block = 0;
        if (!in.byte(&block))
            return m_frames > 0; // a missing trailer is common and harmless
        if (block == 0x3b)
            return m_frames > 0;
        if (block == 0x21) {
            if (!in.skip(1) || !in.skipSubBlocks())
                return false;
            continue;
        }
        if (block != 0x2c)
            return false;
        uint32_t left = 0, top = 0, width = 0, height = 0;
        if (!in.word(&left) || !in.word(&top) || !in.word(&width) || !in.word(&height) || !in.byte(&flags)
            || !in.skip(colourTableBytes(flags)) || !in.skip(1) || !in.skipSubBlocks())
            return false;
        m_width = std::max(m_width, left + width);
        m_height = std::max(m_height, top + height);
        ++m_frames;
        if (!everyFrame)
            return true;
    }
}

bool KPPictureProbe::readTga()
{
    QFile file(QFile::decodeName(m_path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(18);
    if (header.size() < 18)
        return false;
    const auto at = [&header](int i) { return uint32_t(uint8_t(header[i])); };
    const uint32_t type = at(2);
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        return false;
    m_width = at(12) | (at(13) << 8);
    m_height = at(14) | (at(15) << 8);
    return true;
}

bool KPPictureProbe::readWithQt()
{
    QImageReader reader(QFile::decodeName(m_path));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!size.isValid())
        return false;
    m_width = uint32_t(size.width());
    m_height = uint32_t(size.height());
    return true;
}

void KPPictureProbe::checkBudget(bool gif)
{
    const uint64_t bytes = uint64_t(m_width) * m_height * 4u * m_frames;
    if (m_width == 0 || m_height == 0)
        m_reason = QStringLiteral("no pixels");
    else if (m_width > kMaxSide || m_height > kMaxSide)
        m_reason = QStringLiteral("%1x%2 is larger than %3 a side").arg(m_width).arg(m_height).arg(kMaxSide);
    else if (bytes > kMaxDecodedBytes)
        m_reason = QStringLiteral("%1 MiB decoded").arg(bytes >> 20);
    else if (gif && (m_width > kMaxGifSide || m_height > kMaxGifSide))
        m_reason = QStringLiteral("a GIF larger than %1 a side").arg(kMaxGifSide);
    else if (gif && m_frames > kMaxGifFrames)
        m_reason = QStringLiteral("a GIF of %1 frames").arg(m_frames);
}
