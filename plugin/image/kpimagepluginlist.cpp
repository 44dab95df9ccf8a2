#include "kpimagepluginlist.h"

#include "kpannotationexporter.h"
#include "kpboardhotkeys.h"
#include "kpimageplugin.h"
#include "kplog.h"
#include "kppictureboards.h"
#include "kppicturefiles.h"
#include "kputilinterface.h"

#include <obs-module.h>

KPImagePluginList::KPImagePluginList(obs_source_t *source, bool single) : m_source(source), m_single(single) {}

KPImagePluginList::~KPImagePluginList()
{
    qDeleteAll(m_pages);
    m_pages.clear();
    qDeleteAll(m_loaded);
    m_loaded.clear();
    if (m_single)
        delete m_current.load();
    m_current = nullptr;
}

// Hotkeys act on the current page, as the commands do.
KPImagePluginList *KPImagePluginList::create(obs_data_t *settings, obs_source_t *source, bool single)
{
    auto *list = new KPImagePluginList(source, single);
    list->update(settings);
    KPBoardHotkeys::attachCommands(list, source, [list](int command) { list->customCallback(command, nullptr); });
    return list;
}

void KPImagePluginList::destroy(KPImagePluginList *list)
{
    if (!list)
        return;
    KPBoardHotkeys::detach(list);
    list->unload();
    delete list;
}

void KPImagePluginList::setDefaults(obs_data_t *settings)
{
    obs_data_set_default_bool(settings, "unload", false);
    obs_data_set_default_bool(settings, "hideHandwriting", false);
    obs_data_set_default_bool(settings, "active", true);
    KPUtilInterface::setDefaults(settings);
    obs_data_set_default_bool(settings, "unload", true);
}

obs_properties_t *KPImagePluginList::properties(const KPImagePluginList *list)
{
    obs_properties_t *properties = obs_properties_create();
    const QByteArray folder = list ? KPPictureFiles::folderOf(list->currentFile()).toUtf8() : QByteArray();
    obs_properties_add_path(properties, "file", obs_module_text("File"), OBS_PATH_FILE, KPPictureFiles::pathFilter(),
                            folder.isEmpty() ? nullptr : folder.constData());
    if (list)
        KPWhiteBoardObject::addProperties(properties, true);
    KPAnnotationExporter::addProperties(properties, list ? list->m_source : nullptr);
    return properties;
}

// Loading is asked of the loader, which does nothing for the picture it
// already has: a settings change costs no decode.
void KPImagePluginList::update(obs_data_t *settings)
{
    if (!settings)
        return;
    updateWithSettings(settings);
    if (obs_data_get_bool(settings, "active"))
        load();
    else if (!m_persistent && !obs_source_showing(m_source))
        unload();
    m_updates.fetch_add(1);
}

void KPImagePluginList::show()
{
    m_picture.askUnload(false);
    if (!m_persistent)
        load();
}

void KPImagePluginList::hide()
{
    if (KPImagePlugin *page = m_current)
        page->hidePointers();
    if (!m_persistent)
        m_picture.askUnload(true);
}

void KPImagePluginList::load()
{
    KP_LOG_SCOPE();
    const QByteArray path = currentFile().toUtf8();
    if (path.isEmpty()) {
        m_picture.forget();
        m_picture.free();
    } else {
        // The same file, unchanged since it was asked for, is not decoded
        // again, whether it is shown, still decoding, or failed to decode.
        m_picture.request(path);
    }
    setActive(true);
}

void KPImagePluginList::unload()
{
    KP_LOG_SCOPE();
    m_picture.forget();
    m_picture.free();
    setActive(false);
}

// A hide lets the picture go on the next tick only: libobs hides and shows
// a source again within one tick when a transition passes it from one side
// to the other, so the tick unloads only what is still hidden. Only a
// picture on air looks at its file.
void KPImagePluginList::videoTick(float seconds)
{
    installDecoded();
    if (m_picture.takeUnloadRequest() && !m_persistent && !obs_source_showing(m_source))
        unload();
    adoptLoadedPages();
    const bool onAir = obs_source_active(m_source);
    if (onAir && m_picture.fileChanged(seconds))
        load();
    m_picture.animate(onAir, obs_get_video_frame_time());
    if (onAir)
        tickPage(seconds);
    m_picture.endTick();
}

void KPImagePluginList::installDecoded()
{
    KPPictureLoader::Result result;
    if (!m_picture.takeDecoded(&result))
        return;
    const bool shown = m_picture.install(result);
    setSize(m_picture.width(), m_picture.height());
    if (shown)
        shownOver(QString::fromUtf8(result.path));
}

void KPImagePluginList::render(gs_effect_t *effect)
{
    if (!m_picture.draw(effect))
        return;
    if (KPImagePlugin *page = m_current)
        page->do_video_render(effect);
}

// A host that renders a picture it just asked for waits for
// "kp_picture_loading".
void KPImagePluginList::status(obs_data_t *status)
{
    if (KPImagePlugin *page = m_current)
        page->setStatusData(status);
    if (status && !m_picture.settled())
        obs_data_set_bool(status, "kp_picture_loading", true);
    const QByteArray notShown = m_picture.notShown().toUtf8();
    if (status && !notShown.isEmpty())
        obs_data_set_string(status, "kp_picture_not_shown", notShown.constData());
    KPAnnotationExporter::addStatus(m_source, status);
}

void KPImagePluginList::save(obs_data_t *settings)
{
    if (!settings)
        return;
    obs_data_array_t *records = obs_data_array_create();
    saveBoards(records);
    KPPictureBoards::write(settings, records);
    obs_data_array_release(records);
}

void KPImagePluginList::updateWithSettings(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (!settings) {
        KP_LOG(1, QStringLiteral("updateWithSettings: settings is NULL."));
        return;
    }
    const QString path = QString::fromUtf8(obs_data_get_string(settings, "file"));
    const bool hideHandwriting = obs_data_get_bool(settings, "kp_wb_hideHandwriting");
    setCurrentFile(path);
    m_persistent = !obs_data_get_bool(settings, "unload");
    KPUtilInterface::updateWithSettings(m_itemProperty, settings);
    if (KPImagePlugin *page = m_current) {
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
    KPImagePlugin *page = m_current;
    if (m_single) {
        // The drawings stay until another picture is actually shown
        // (shownOver): a file that does not load takes nothing away.
        if (!page) {
            m_current = createPage(path);
            QMutexLocker lock(&m_pathLock);
            m_drawingsPath = path;
        } else if (page->filePath != path) {
            setPagePath(page, path);
        }
        return;
    }
    if (page)
        page->setActive(false);
    adoptLoadedPages();
    if (KPImagePlugin *known = m_pages.value(path)) {
        m_current = known;
        known->setCurrentItemProperty(m_itemProperty);
        known->setActive(true);
        return;
    }
    KPImagePlugin *created = createPage(path);
    m_current = created;
    created->setCurrentItemProperty(m_itemProperty);
    QMutexLocker lock(&m_pagesLock);
    m_pages.insert(path, created);
}

void KPImagePluginList::adoptLoadedPages()
{
    if (!m_hasLoaded)
        return;
    QMutexLocker lock(&m_pagesLock);
    for (auto it = m_loaded.cbegin(); it != m_loaded.cend(); ++it)
        m_pages.insert(it.key(), it.value());
    m_loaded.clear();
    m_hasLoaded = false;
}

void KPImagePluginList::shownOver(const QString &path)
{
    KPImagePlugin *page = m_current;
    if (!m_single || !page)
        return;
    QMutexLocker lock(&m_pathLock);
    const bool other = !m_drawingsPath.isEmpty() && m_drawingsPath != path;
    m_drawingsPath = path;
    lock.unlock();
    if (other)
        page->do_clear();
}

void KPImagePluginList::saveBoards(obs_data_array_t *records)
{
    QList<KPImagePlugin *> all;
    {
        QMutexLocker lock(&m_pagesLock);
        all = m_pages.values() + m_loaded.values();
    }
    if (m_single && m_current)
        all.append(m_current);
    for (KPImagePlugin *page : qAsConst(all)) {
        QMutexLocker lock(&m_pathLock);
        const QString path = m_single ? m_drawingsPath : page->filePath;
        lock.unlock();
        if (obs_data_t *record = KPPictureBoards::save(page, path)) {
            obs_data_array_push_back(records, record);
            obs_data_release(record);
        }
    }
}

void KPImagePluginList::loadBoards(obs_data_t *settings)
{
    KPPictureBoards::read(settings, [this](const QString &path, obs_data_t *record) { loadBoard(path, record); });
}

// A single page takes the one record there is, whatever picture "file"
// names now: its drawings belong to the picture they were made over, and a
// file that does not load keeps them, as it does while the source runs.
void KPImagePluginList::loadBoard(const QString &path, obs_data_t *record)
{
    KPImagePlugin *page = m_current;
    if (m_single) {
        if (!page) {
            KP_LOG(1, QStringLiteral("drawings of %1 not loaded: the source has no file").arg(path));
            return;
        }
        QMutexLocker lock(&m_pathLock);
        m_drawingsPath = path;
        lock.unlock();
        page->load(record);
        return;
    }
    {
        QMutexLocker lock(&m_pagesLock);
        page = m_pages.value(path, stagedPage(path));
    }
    if (!page) {
        KPImagePlugin *created = newInactivePage(path);
        QMutexLocker lock(&m_pagesLock);
        page = m_pages.value(path, stagedPage(path));
        if (page) {
            lock.unlock();
            delete created;
        } else {
            page = created;
            m_loaded.insert(path, created);
            m_hasLoaded = true;
        }
    }
    page->load(record);
}

KPImagePlugin *KPImagePluginList::stagedPage(const QString &path) const
{
    return m_loaded.value(path);
}

// A page not on air composes nothing until it is.
KPImagePlugin *KPImagePluginList::newInactivePage(const QString &path)
{
    KPImagePlugin *page = createPage(path);
    page->setActive(false);
    return page;
}

KPImagePlugin *KPImagePluginList::createPage(const QString &path)
{
    return new KPImagePlugin(m_source, path);
}

void KPImagePluginList::setPagePath(KPImagePlugin *page, const QString &path)
{
    QMutexLocker lock(&m_pathLock);
    page->filePath = path;
}

QList<QPair<QString, KPImagePlugin *>> KPImagePluginList::annotatedPages() const
{
    QList<KPImagePlugin *> all;
    {
        QMutexLocker lock(&m_pagesLock);
        all = m_single ? QList<KPImagePlugin *>() : m_pages.values();
    }
    if (KPImagePlugin *page = m_current; m_single && page)
        all.append(page);
    QList<QPair<QString, KPImagePlugin *>> annotated;
    QMutexLocker lock(&m_pathLock);
    for (KPImagePlugin *page : qAsConst(all))
        annotated.append({page->filePath, page});
    return annotated;
}

QString KPImagePluginList::currentFile() const
{
    QMutexLocker lock(&m_pathLock);
    const KPImagePlugin *page = m_current;
    return page ? page->filePath : QString();
}

int KPImagePluginList::pageCount() const
{
    QMutexLocker lock(&m_pagesLock);
    return m_single ? (m_current ? 1 : 0) : m_pages.size() + m_loaded.size();
}

void KPImagePluginList::mouseClick(const obs_mouse_event *event, int32_t type, bool mouseUp,
                                   uint32_t clickCount)
{
    if (KPImagePlugin *page = m_current)
        page->do_mouse_click(event, type, mouseUp, clickCount);
}

void KPImagePluginList::mouseMove(const obs_mouse_event *event, bool mouseLeave)
{
    if (KPImagePlugin *page = m_current)
        page->do_mouse_move(event, mouseLeave);
}

void KPImagePluginList::mouseWheel(const obs_mouse_event *event, int xDelta, int yDelta)
{
    if (KPImagePlugin *page = m_current)
        page->do_mouse_wheel(event, xDelta, yDelta);
}

void KPImagePluginList::focus(bool focused)
{
    if (KPImagePlugin *page = m_current)
        page->focus(focused);
}

void KPImagePluginList::keyClick(const obs_key_event *event, bool keyUp)
{
    if (KPImagePlugin *page = m_current)
        page->do_key_click(event, keyUp);
}

void KPImagePluginList::tabletEvent(void *event)
{
    if (KPImagePlugin *page = m_current)
        page->do_tablet_event(event);
}

void KPImagePluginList::customCallback(int command, obs_data_t *settings)
{
    if (KPImagePlugin *page = m_current)
        page->do_custom_callback(command, settings);
}

void KPImagePluginList::tickPage(float seconds)
{
    if (KPImagePlugin *page = m_current) {
        page->advanceClock(seconds);
        page->do_video_tick();
    }
}

void KPImagePluginList::setActive(bool isActive)
{
    if (KPImagePlugin *page = m_current)
        page->setActive(isActive);
}

void KPImagePluginList::setSize(uint32_t width, uint32_t height)
{
    if (KPImagePlugin *page = m_current)
        page->setSize(width, height);
}
