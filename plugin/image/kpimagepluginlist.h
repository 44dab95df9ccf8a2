#pragma once

#include "kpitemproperty.h"

#include "kppictureloader.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QString>

#include <obs.h>
#include <graphics/image-file.h>

#include <atomic>

class KPImagePlugin;

// The state behind one image source: the decoded picture and the annotation
// pages, one per picture file (multi-page) or a single page emptied whenever
// the file changes. Input reaches the current page only.
//
// Threads: the picture is decoded by the loader's worker; the picture fields
// are swapped only inside the host's graphics context, which serialises
// that against rendering; the size and the current page are atomics because
// the host asks for them from any thread, and the current file is read under
// a lock for the same reason. Pages live until the list goes, so a page read
// from current stays valid.
class KPImagePluginList
{
public:
    explicit KPImagePluginList(obs_source_t *source);
    // Deletes every page; the picture must have been freed already.
    ~KPImagePluginList();

    void updateWithSettings(obs_data_t *settings);
    void setCurrentFile(const QString &path);
    QString currentFile() const;

    // Forwarders to the current page; each does nothing without one.
    void mouseClick(const obs_mouse_event *event, int32_t type, bool mouseUp, uint32_t clickCount);
    void mouseMove(const obs_mouse_event *event, bool mouseLeave);
    void mouseWheel(const obs_mouse_event *event, int xDelta, int yDelta);
    void focus(bool focused);
    void keyClick(const obs_key_event *event, bool keyUp);
    void tabletEvent(void *event);
    void status(obs_data_t *status);
    void customCallback(int command, obs_data_t *settings);
    void render(gs_effect_t *effect);
    void tick(float seconds);
    // The source is hidden: the current page's laser trail and spotlight go.
    void hidePointers();
    void setActive(bool active);
    void deactivate();
    void setSize(uint32_t width, uint32_t height);

    int pageCount() const;
    KPImagePlugin *currentPage() const { return current; }

    obs_source_t *source;
    std::atomic<KPImagePlugin *> current{nullptr};
    KPWB::ItemProperty itemProperty;
    std::atomic<bool> persistent{false};
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
    // The picture last asked of the loader (shown, being decoded, or failed)
    // and its file's stamp then; empty while none is.
    // Guarded by pictureLock, since show and hide may come from any thread
    // while the video thread ticks; nothing reads a file under that lock.
    QByteArray requestedPath;
    FileStamp fileStamp;
    KPPictureLoader loader;
    QMutex pictureLock;
    // From the tick that takes a decoded picture until that tick has put it
    // and its page in place: the picture is no longer the loader's, not yet shown.
    std::atomic<bool> installing{false};
    float updateTimeElapsed = 0.0f;
    uint64_t lastTime = 0;
    bool active = false;
    gs_image_file *image = nullptr;
    bool hideHandwriting = false;
    bool single = false;
    QMap<QString, KPImagePlugin *> pages;

    // The size of a decoded picture, 0 by 0 when none is; kept outside the
    // picture so that any thread may read it.
    std::atomic<uint32_t> pictureWidth{0};
    std::atomic<uint32_t> pictureHeight{0};
    std::atomic<bool> animated{false};

private:
    KPImagePlugin *createPage(const QString &path);
    void setPagePath(KPImagePlugin *page, const QString &path);

    mutable QMutex m_pathLock; // guards the pages' filePath

    KPImagePluginList(const KPImagePluginList &) = delete;
    KPImagePluginList &operator=(const KPImagePluginList &) = delete;
};
