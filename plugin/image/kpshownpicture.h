#pragma once

#include "kppictureloader.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <obs.h>
#include <graphics/image-file.h>

#include <atomic>
#include <cstdint>

// The picture an image source shows: asked of the loader by path, decoded on
// its worker, made into a texture and swapped in on a video tick, animated
// while on air, and let go when the source no longer needs it.
//
// Threads, piece by piece:
// - m_image is written only inside the graphics context (a tick installing,
//   or any thread freeing), and read only there, so rendering never sees it go.
// - m_width, m_height and m_animated follow m_image inside the same context;
//   any thread may read them.
// - m_lock guards the loader, the request (m_requestedPath, m_fileStamp),
//   m_notShown and m_sinceFileCheck: show, hide and updates may come from
//   any thread while the video thread ticks. Nothing reads a file under it.
// - m_installing is written by the video thread only; m_unloadPending is
//   set by show and hide from any thread and taken by the video thread;
//   both are atomics.
// - m_onAir and m_lastFrameTime belong to the video thread alone.
class KPShownPicture
{
public:
    KPShownPicture() = default;
    // Frees a picture still held; callers let it go before, inside libobs.
    ~KPShownPicture();

    // Asks the loader for the picture at path, unless it was asked for and
    // its file has not changed since; decoding happens on the worker.
    void request(const QByteArray &path);
    // Drops the picture asked for, and any decode of it still running.
    void forget();
    // Lets the shown picture go, inside the graphics context.
    void free();

    // On the video thread. takeDecoded hands over a finished decode; from
    // then until endTick the picture counts as being installed (see settled).
    bool takeDecoded(KPPictureLoader::Result *result);
    // Makes the texture and swaps the picture in: true when it is shown.
    bool install(KPPictureLoader::Result &result);
    // The file of a picture on air is looked at once a second, and at once
    // when the picture comes on air: true when it changed or went.
    bool fileChanged(float seconds);
    // Runs an animated picture's frames while on air; rewinds it off air.
    void animate(bool onAir, uint64_t frameTime);
    void endTick();

    // A hide asks to let the picture go; a show within the same tick
    // takes that back (a transition passes a source from side to side).
    void askUnload(bool ask);
    bool takeUnloadRequest();

    // On the graphics thread: draws the picture, false when there is none.
    bool draw(gs_effect_t *effect) const;

    // True while no picture is being decoded or installed.
    bool settled() const;
    // Why the last picture asked for is not shown ("<path>: <reason>").
    QString notShown() const;
    // The shown picture's size, 0 by 0 while none is.
    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    bool shown() const { return m_width != 0 && m_height != 0; }

    // Modification time (to the nanosecond) and size of a file, all -1 when
    // it cannot be examined: a rewrite within one second still differs.
    struct FileStamp
    {
        int64_t seconds = -1;
        int64_t nanoseconds = -1;
        int64_t size = -1;
        bool operator==(const FileStamp &other) const
        {
            return seconds == other.seconds && nanoseconds == other.nanoseconds && size == other.size;
        }
        bool operator!=(const FileStamp &other) const { return !(*this == other); }
    };

private:
    static FileStamp stampOf(const QByteArray &path);
    void setNotShown(const QString &reason);
    void setImage(gs_image_file *image);
    void restartAnimation();
    void advanceAnimation(uint64_t elapsedNs);

    gs_image_file *m_image = nullptr;
    std::atomic<uint32_t> m_width{0};
    std::atomic<uint32_t> m_height{0};
    std::atomic<bool> m_animated{false};

    mutable QMutex m_lock;
    KPPictureLoader m_loader;
    // The picture last asked of the loader (shown, being decoded, or failed)
    // and its file's stamp then; empty while none is.
    QByteArray m_requestedPath;
    FileStamp m_fileStamp;
    // Empty once a picture is shown or none is asked for.
    QString m_notShown;
    float m_sinceFileCheck = 0.0f;

    std::atomic<bool> m_installing{false};
    std::atomic<bool> m_unloadPending{false};
    bool m_onAir = false;
    uint64_t m_lastFrameTime = 0;

    KPShownPicture(const KPShownPicture &) = delete;
    KPShownPicture &operator=(const KPShownPicture &) = delete;
};
