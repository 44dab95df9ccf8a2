#pragma once

#include "kpitemproperty.h"
#include "kpshownpicture.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QString>

#include <obs.h>

#include <atomic>

class KPImagePlugin;

// One image source: the picture it shows (KPShownPicture) and the
// annotation pages over it, one per picture file (multi-page) or a single
// page emptied whenever another picture is shown. Input reaches the current
// page only.
//
// Threads: the current page is an atomic, since the host asks for it from
// any thread; pages live until the list goes, so a page read from it stays
// valid. The pages' file paths and m_drawingsPath are written under
// m_pathLock; every thread reads them under it but the graphics thread,
// the only one that writes the file paths. The page map changes only on
// the graphics thread (the host runs updates there), under m_pagesLock, so
// that the graphics thread itself may read it without the lock. Pages a
// scene load brings (on the host's UI thread) wait in m_loaded under that
// lock until the next tick takes them into the map. m_itemProperty is the
// graphics thread's alone; m_persistent and m_updates are atomics any
// thread may read.
class KPImagePluginList
{
public:
    explicit KPImagePluginList(obs_source_t *source, bool single = false);
    // Deletes every page; the picture must have been let go already (unload).
    ~KPImagePluginList();

    // The host's callbacks, each forwarded from kpimage.cpp.
    static KPImagePluginList *create(obs_data_t *settings, obs_source_t *source, bool single);
    static void destroy(KPImagePluginList *list);
    static void setDefaults(obs_data_t *settings);
    static obs_properties_t *properties(const KPImagePluginList *list);
    void update(obs_data_t *settings);
    void show();
    void hide();
    void videoTick(float seconds);
    void render(gs_effect_t *effect);
    void status(obs_data_t *status);
    void save(obs_data_t *settings);
    uint32_t width() const { return m_picture.width(); }
    uint32_t height() const { return m_picture.height(); }

    // Asks for the current page's picture (decoded on a worker, shown from a
    // later tick) and activates the page; lets it go and deactivates the page.
    void load();
    void unload();
    // True while no picture is being decoded for the source (whether or not
    // one is shown): a slideshow waits for it before switching to a slide.
    bool settled() const { return m_picture.settled(); }
    // Settings updates taken so far. libobs applies an update of a video
    // source on its next tick, so a slideshow that has just updated a slide
    // waits for this to move before it trusts settled().
    uint64_t updates() const { return m_updates; }
    bool pictureShown() const { return m_picture.shown(); }
    obs_source_t *source() const { return m_source; }

    void setCurrentFile(const QString &path);
    QString currentFile() const;

    // Forwarders to the current page; each does nothing without one.
    void mouseClick(const obs_mouse_event *event, int32_t type, bool mouseUp, uint32_t clickCount);
    void mouseMove(const obs_mouse_event *event, bool mouseLeave);
    void mouseWheel(const obs_mouse_event *event, int xDelta, int yDelta);
    void focus(bool focused);
    void keyClick(const obs_key_event *event, bool keyUp);
    void tabletEvent(void *event);
    void customCallback(int command, obs_data_t *settings);
    void setSize(uint32_t width, uint32_t height);

    int pageCount() const;
    KPImagePlugin *currentPage() const { return m_current; }
    // The pages with the files they annotate: the map's, or the single page.
    QList<QPair<QString, KPImagePlugin *>> annotatedPages() const;
    // The drawings of every page, one record each (see KPPictureBoards),
    // appended to records; and a scene's records loaded onto the pages, a
    // page made for each file that has none yet. Called on the host's UI
    // thread; each board is read and written under its own lock.
    void saveBoards(obs_data_array_t *records);
    void loadBoards(obs_data_t *settings);
    void loadBoard(const QString &path, obs_data_t *record);

private:
    void updateWithSettings(obs_data_t *settings);
    void installDecoded();
    // A picture was decoded and put in place: a single page clears its
    // drawings, as one undo step, when they were made over another picture.
    void shownOver(const QString &path);
    // On the graphics thread: the pages a load brought join the map.
    void adoptLoadedPages();
    void tickPage(float seconds);
    void setActive(bool active);

    KPImagePlugin *createPage(const QString &path);
    void setPagePath(KPImagePlugin *page, const QString &path);
    KPImagePlugin *stagedPage(const QString &path) const;
    KPImagePlugin *newInactivePage(const QString &path);

    obs_source_t *const m_source;
    const bool m_single;
    KPShownPicture m_picture;
    std::atomic<KPImagePlugin *> m_current{nullptr};
    KPWB::ItemProperty m_itemProperty;
    // Set from the "unload" setting: the picture stays while hidden.
    std::atomic<bool> m_persistent{false};
    std::atomic<uint64_t> m_updates{0};

    mutable QMutex m_pathLock; // guards the pages' filePath and m_drawingsPath
    // The picture a single page's drawings were made over; empty before the first.
    QString m_drawingsPath;
    mutable QMutex m_pagesLock; // guards m_pages (its changes) and m_loaded
    QMap<QString, KPImagePlugin *> m_pages;
    QMap<QString, KPImagePlugin *> m_loaded;
    std::atomic<bool> m_hasLoaded{false};

    KPImagePluginList(const KPImagePluginList &) = delete;
    KPImagePluginList &operator=(const KPImagePluginList &) = delete;
};
