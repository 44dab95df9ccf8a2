#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// What a picture file will cost once decoded, read from its headers alone so
// that a file claiming a huge canvas, or one that is no regular file at all
// (a FIFO would block the reader forever), never reaches the decoder.
class KPPictureProbe
{
public:
    // Above this side, or this many bytes of decoded frames, a picture is refused.
    static constexpr uint32_t kMaxSide = 16384;
    static constexpr uint64_t kMaxDecodedBytes = 512ull << 20;
    // libobs's GIF decoder gives up beyond these, keeping an allocation each time.
    static constexpr uint32_t kMaxGifSide = 4096;
    static constexpr uint32_t kMaxGifFrames = 4000;

    explicit KPPictureProbe(const QByteArray &path);

    bool accepted() const { return m_reason.isEmpty(); }
    // Why the picture is refused; empty when it is accepted.
    QString reason() const { return m_reason; }
    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    uint32_t frames() const { return m_frames; }

    // True for a path naming a regular file (after following links); never opens it.
    static bool isRegularFile(const QByteArray &path);

private:
    bool readGif(bool everyFrame);
    bool readTga();
    bool readWithQt();
    void checkBudget(bool gif);

    QByteArray m_path;
    QString m_reason;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_frames = 1;
};
