#include "kpimagepluginlist.h"

#include "kpimageplugin.h"
#include "kplog.h"
#include "kputilinterface.h"


KPImagePluginList::KPImagePluginList(obs_source_t *owner) : source(owner) {}

KPImagePluginList::~KPImagePluginList()
{
    qDeleteAll(pages);
    pages.clear();
    if (single)
        delete current.load();
    current = nullptr;
}

void KPImagePluginList::updateWithSettings(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (!settings) {
        KP_LOG(1, QStringLiteral("updateWithSettings: settings is NULL."));
        return;
    }
    const QString path = QString::fromUtf8(obs_data_get_string(settings, "file"));
    const bool unload = obs_data_get_bool(settings, "unload");
    hideHandwriting = obs_data_get_bool(settings, "kp_wb_hideHandwriting");
    setCurrentFile(path);
    persistent = !unload;
    KPUtilInterface::updateWithSettings(itemProperty, settings);
    if (KPImagePlugin *page = current) {
        setPagePath(page, path);
        // The board takes its size from the picture, never from these
        // settings: a size read as 0 here would rebuild its canvas twice.
        obs_data_t *own = obs_data_create();
        obs_data_apply(own, settings);
        obs_data_set_int(own, "kp_wb_width", page->width());
        obs_data_set_int(own, "kp_wb_height", page->height());
        page->KPWhiteBoardObject::updateWithSettings(own);
        obs_data_release(own);
        page->setHideHandwriting(hideHandwriting);
    }
}

void KPImagePluginList::setCurrentFile(const QString &path)
{
    if (path.isEmpty())
        return;
    KPImagePlugin *page = current;
    if (single) {
        if (!page) {
            current = createPage(path);
        } else if (page->filePath != path) {
            setPagePath(page, path);
            page->reset();
        }
        return;
    }
    if (page)
        page->setActive(false);
    if (KPImagePlugin *known = pages.value(path)) {
        current = known;
        known->setCurrentItemProperty(itemProperty);
        known->setActive(true);
        return;
    }
    KPImagePlugin *created = createPage(path);
    current = created;
    created->setCurrentItemProperty(itemProperty);
    pages.insert(path, created);
}

KPImagePlugin *KPImagePluginList::createPage(const QString &path)
{
    return new KPImagePlugin(source, path);
}

void KPImagePluginList::setPagePath(KPImagePlugin *page, const QString &path)
{
    QMutexLocker lock(&m_pathLock);
    page->filePath = path;
}

QString KPImagePluginList::currentFile() const
{
    QMutexLocker lock(&m_pathLock);
    const KPImagePlugin *page = current;
    return page ? page->filePath : QString();
}

int KPImagePluginList::pageCount() const
{
    return single ? (current ? 1 : 0) : pages.size();
}

void KPImagePluginList::mouseClick(const obs_mouse_event *event, int32_t type, bool mouseUp,
                                   uint32_t clickCount)
{
    if (KPImagePlugin *page = current)
        page->do_mouse_click(event, type, mouseUp, clickCount);
}

void KPImagePluginList::mouseMove(const obs_mouse_event *event, bool mouseLeave)
{
    if (KPImagePlugin *page = current)
        page->do_mouse_move(event, mouseLeave);
}

void KPImagePluginList::mouseWheel(const obs_mouse_event *event, int xDelta, int yDelta)
{
    if (KPImagePlugin *page = current)
        page->do_mouse_wheel(event, xDelta, yDelta);
}

void KPImagePluginList::focus(bool focused)
{
    if (KPImagePlugin *page = current)
        page->focus(focused);
}

void KPImagePluginList::keyClick(const obs_key_event *event, bool keyUp)
{
    if (KPImagePlugin *page = current)
        page->do_key_click(event, keyUp);
}

void KPImagePluginList::tabletEvent(void *event)
{
    if (KPImagePlugin *page = current)
        page->do_tablet_event(event);
}

void KPImagePluginList::status(obs_data_t *status)
{
    if (KPImagePlugin *page = current)
        page->setStatusData(status);
}

void KPImagePluginList::customCallback(int command, obs_data_t *settings)
{
    if (KPImagePlugin *page = current)
        page->do_custom_callback(command, settings);
}

void KPImagePluginList::render(gs_effect_t *effect)
{
    if (KPImagePlugin *page = current)
        page->do_video_render(effect);
}

void KPImagePluginList::tick(float seconds)
{
    if (KPImagePlugin *page = current) {
        page->advanceClock(seconds);
        page->do_video_tick();
    }
}

void KPImagePluginList::hidePointers()
{
    if (KPImagePlugin *page = current)
        page->hidePointers();
}

void KPImagePluginList::setActive(bool isActive)
{
    if (KPImagePlugin *page = current)
        page->setActive(isActive);
}

void KPImagePluginList::deactivate()
{
    setActive(false);
}

void KPImagePluginList::setSize(uint32_t width, uint32_t height)
{
    if (KPImagePlugin *page = current)
        page->setSize(width, height);
}
