#pragma once

#include "kpitemproperty.h"

#include <QMap>
#include <QString>

#include <obs.h>
#include <graphics/image-file.h>

#include <atomic>

class KPImagePlugin;

// The state behind one image source: the decoded picture and the annotation
// pages, one per picture file (multi-page) or a single page emptied whenever
// the file changes. Input reaches the current page only.
//
// Threads: the picture fields are touched only inside the host's graphics
// context, which serialises loading against rendering; the size and the
// current page are atomics because the host asks for them from any thread.
// Pages live until the list goes, so a page read from current stays valid.
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
    int64_t fileTimestamp = 0;
    float updateTimeElapsed = 0.0f;
    uint64_t lastTime = 0;
    bool active = false;
    gs_image_file image;
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

    KPImagePluginList(const KPImagePluginList &) = delete;
    KPImagePluginList &operator=(const KPImagePluginList &) = delete;
};
