#include "kpimage.h"

#include "kpannotationexporter.h"
#include "kpimageplugin.h"
#include "kpboardhotkeys.h"
#include "kpimagepluginlist.h"
#include "kplog.h"
#include "kppictureloader.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

#include <obs-module.h>
#include <util/platform.h>

#include <sys/stat.h>

#include <utility>

namespace {

const char kFileFilter[] = "All formats (*.bmp *.tga *.png *.jpeg *.jpg *.gif);;BMP Files (*.bmp);;"
                           "Targa Files (*.tga);;PNG Files (*.png);;JPEG Files (*.jpeg *.jpg);;"
                           "GIF Files (*.gif)";

KPImagePluginList *listOf(void *data)
{
    if (!data)
        KP_LOG(1, QStringLiteral("source data is NULL."));
    return static_cast<KPImagePluginList *>(data);
}

KPImagePluginList::FileStamp stampOf(const QByteArray &path)
{
    struct stat info = {};
    if (path.isEmpty() || os_stat(path.constData(), &info) != 0)
        return {};
    return {int64_t(info.st_mtim.tv_sec), int64_t(info.st_mtim.tv_nsec), int64_t(info.st_size)};
}

// Inside the graphics context, so that rendering never sees a picture go.
void freePicture(KPImagePluginList *list)
{
    obs_enter_graphics();
    gs_image_file *old = std::exchange(list->image, nullptr);
    list->pictureWidth = 0;
    list->pictureHeight = 0;
    list->animated = false;
    if (old)
        gs_image_file_free(old);
    obs_leave_graphics();
    delete old;
}

// Drops the picture asked for, and any decode of it still running.
void forgetPicture(KPImagePluginList *list)
{
    QMutexLocker lock(&list->pictureLock);
    list->loader.cancel();
    list->requestedPath.clear();
    list->fileStamp = {};
}

// Runs on a video tick once the loader has finished: the texture is made
// here, inside the graphics context, and the previous picture goes only now.
// A picture that did not decode, or whose texture could not be made, counts
// as no picture at all: the source never sizes or draws itself from it.
void installPicture(KPImagePluginList *list, KPPictureLoader::Result &result)
{
    freePicture(list);
    obs_enter_graphics();
    if (result.image) {
        gs_image_file_init_texture(result.image);
        if (!result.image->texture) {
            gs_image_file_free(result.image);
            delete std::exchange(result.image, nullptr);
            result.failure = QStringLiteral("no texture");
        }
    }
    list->image = result.image;
    if (gs_image_file *image = list->image) {
        list->pictureWidth = image->cx;
        list->pictureHeight = image->cy;
        list->animated = image->is_animated_gif;
    }
    obs_leave_graphics();
    list->setSize(list->pictureWidth, list->pictureHeight);
    if (!result.failure.isEmpty()) {
        const QString path = QString::fromUtf8(result.path);
        KP_LOG(1, QStringLiteral("picture not shown, %1: %2").arg(result.failure, path));
        KP_LOG(1, QStringLiteral("failed to load texture %1").arg(path));
    }
}

void restartAnimation(KPImagePluginList *list)
{
    obs_enter_graphics();
    if (gs_image_file *image = list->image; image && image->is_animated_gif) {
        image->cur_frame = 0;
        image->cur_loop = 0;
        image->cur_time = 0;
        gs_image_file_update_texture(image);
    }
    obs_leave_graphics();
}

void advanceAnimation(KPImagePluginList *list, uint64_t elapsedNs)
{
    obs_enter_graphics();
    if (gs_image_file *image = list->image; image && image->is_animated_gif && gs_image_file_tick(image, elapsedNs))
        gs_image_file_update_texture(image);
    obs_leave_graphics();
}

// Only a picture on air looks at its file: once a second, and at once when
// it comes on air. A file that disappears goes blank; when it comes back, or
// changes, it is decoded again.
void checkFile(KPImagePluginList *list, float seconds, bool comingOnAir)
{
    list->updateTimeElapsed += seconds;
    if (list->updateTimeElapsed < 1.0f && !comingOnAir)
        return;
    list->updateTimeElapsed = 0.0f;
    QMutexLocker lock(&list->pictureLock);
    const QByteArray path = list->requestedPath;
    const KPImagePluginList::FileStamp known = list->fileStamp;
    lock.unlock();
    if (!path.isEmpty() && stampOf(path) != known)
        kp_image_source_load(list);
}

// Hotkeys act on the current page, as the commands do.
void addHotkeys(KPImagePluginList *list, obs_source_t *source)
{
    KPBoardHotkeys::attach(list, source, [list, source](KPBoardHotkeys::Action action) {
        switch (action) {
        case KPBoardHotkeys::Action::Undo: list->customCallback(1, nullptr); break;
        case KPBoardHotkeys::Action::Redo: list->customCallback(2, nullptr); break;
        case KPBoardHotkeys::Action::Clear: list->customCallback(3, nullptr); break;
        case KPBoardHotkeys::Action::ToggleHandwriting:
            KPBoardHotkeys::toggleSetting(source, "kp_wb_hideHandwriting");
            break;
        }
    });
}

void *createList(obs_data_t *settings, obs_source_t *source, bool single)
{
    auto *list = new KPImagePluginList(source);
    list->single = single;
    kp_image_source_update(list, settings);
    addHotkeys(list, source);
    return list;
}

QString defaultFolder(const KPImagePluginList *list)
{
    QString path = list ? list->currentFile() : QString();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

const char *kp_image_source_get_name(void *)
{
    return obs_module_text("kp_image_source");
}

const char *kp_single_image_source_get_name(void *)
{
    return obs_module_text("kp_single_image_source");
}

void *kp_image_source_create(obs_data_t *settings, obs_source_t *source)
{
    KP_LOG_SCOPE();
    return createList(settings, source, false);
}

void *kp_image_source_create_single(obs_data_t *settings, obs_source_t *source)
{
    KP_LOG_SCOPE();
    return createList(settings, source, true);
}

void kp_image_source_destroy(void *data)
{
    KP_LOG_SCOPE();
    KPImagePluginList *list = listOf(data);
    if (!list)
        return;
    KPBoardHotkeys::detach(list);
    kp_image_source_unload(list);
    delete list;
}

uint32_t kp_image_source_get_width(void *data)
{
    return data ? listOf(data)->pictureWidth.load() : 0;
}

uint32_t kp_image_source_get_height(void *data)
{
    return data ? listOf(data)->pictureHeight.load() : 0;
}

void kp_image_source_defaults(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    obs_data_set_default_bool(settings, "unload", false);
    obs_data_set_default_bool(settings, "hideHandwriting", false);
    obs_data_set_default_bool(settings, "active", true);
    KPUtilInterface::setDefaults(settings);
    obs_data_set_default_bool(settings, "unload", true);
}

obs_properties_t *kp_image_source_properties(void *data)
{
    KP_LOG_SCOPE();
    const auto *list = static_cast<const KPImagePluginList *>(data);
    obs_properties_t *properties = obs_properties_create();
    const QByteArray folder = defaultFolder(list).toUtf8();
    obs_properties_add_path(properties, "file", obs_module_text("File"), OBS_PATH_FILE, kFileFilter,
                            folder.isEmpty() ? nullptr : folder.constData());
    if (list)
        KPWhiteBoardObject::addProperties(properties, true);
    KPAnnotationExporter::addProperties(properties, list ? list->source : nullptr);
    return properties;
}

void kp_image_source_update(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    KPImagePluginList *list = listOf(data);
    if (!list || !settings)
        return;
    list->updateWithSettings(settings);
    list->persistent = !obs_data_get_bool(settings, "unload");
    // Loading is asked of the loader, which does nothing for the picture it
    // already has: a settings change costs no decode.
    if (obs_data_get_bool(settings, "active"))
        kp_image_source_load(list);
    else if (!list->persistent && !obs_source_showing(list->source))
        kp_image_source_unload(list);
}

void kp_image_source_show(void *data)
{
    KP_LOG_SCOPE();
    KPImagePluginList *list = listOf(data);
    if (list && !list->persistent)
        kp_image_source_load(list);
}

void kp_image_source_hide(void *data)
{
    KP_LOG_SCOPE();
    KPImagePluginList *list = listOf(data);
    if (list)
        list->hidePointers();
    if (list && !list->persistent)
        kp_image_source_unload(list);
}

void kp_image_source_load(KPImagePluginList *list)
{
    KP_LOG_SCOPE();
    const QByteArray path = list->currentFile().toUtf8();
    if (path.isEmpty()) {
        forgetPicture(list);
        freePicture(list);
    } else {
        // The same file, unchanged since it was asked for, is not decoded
        // again, whether it is shown, still decoding, or failed to decode.
        const KPImagePluginList::FileStamp stamp = stampOf(path);
        QMutexLocker lock(&list->pictureLock);
        if (path != list->requestedPath || stamp != list->fileStamp) {
            list->requestedPath = path;
            list->fileStamp = stamp;
            list->updateTimeElapsed = 0.0f;
            list->loader.request(path);
        }
    }
    list->setActive(true);
}

void kp_image_source_unload(KPImagePluginList *list)
{
    KP_LOG_SCOPE();
    forgetPicture(list);
    freePicture(list);
    list->deactivate();
}

void kp_image_source_video_tick(void *data, float seconds)
{
    KPImagePluginList *list = listOf(data);
    if (!list)
        return;
    KPPictureLoader::Result result;
    QMutexLocker lock(&list->pictureLock);
    const bool finished = list->loader.take(&result);
    list->installing = finished;
    lock.unlock();
    if (finished)
        installPicture(list, result);
    const uint64_t now = obs_get_video_frame_time();
    const bool onAir = obs_source_active(list->source);
    if (onAir)
        checkFile(list, seconds, !list->active);
    if (onAir) {
        if (!list->active) {
            if (list->animated)
                list->lastTime = now;
            list->active = true;
        }
        if (list->lastTime != 0 && list->animated)
            advanceAnimation(list, now - list->lastTime);
        list->lastTime = now;
        list->tick(seconds);
    } else if (list->active) {
        if (list->animated)
            restartAnimation(list);
        list->active = false;
    }
    list->installing = false;
}

bool kp_image_source_settled(void *data)
{
    auto *list = static_cast<KPImagePluginList *>(data);
    if (!list)
        return true;
    QMutexLocker lock(&list->pictureLock);
    return !list->loader.busy() && !list->installing;
}

void kp_image_source_video_render(void *data, gs_effect_t *effect)
{
    KPImagePluginList *list = listOf(data);
    gs_image_file *image = list ? list->image : nullptr;
    if (!image || !image->texture)
        return;
    if (effect)
        gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), image->texture);
    gs_draw_sprite(image->texture, 0, image->cx, image->cy);
    list->render(effect);
}
void kp_image_sourcemouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp,
                                uint32_t clickCount)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->mouseClick(event, type, mouseUp, clickCount);
}

void kp_image_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave)
{
    if (KPImagePluginList *list = listOf(data))
        list->mouseMove(event, mouseLeave);
}

void kp_image_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta)
{
    if (KPImagePluginList *list = listOf(data))
        list->mouseWheel(event, xDelta, yDelta);
}

void kp_image_focus(void *data, bool focus)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->focus(focus);
}

void kp_image_key_click(void *data, const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->keyClick(event, keyUp);
}

void kp_image_status(void *data, obs_data_t *status)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data)) {
        list->status(status);
        // A host that renders a picture it just asked for waits for this.
        if (status && !kp_image_source_settled(data))
            obs_data_set_bool(status, "kp_picture_loading", true);
        KPAnnotationExporter::addStatus(list->source, status);
    }
}

void kp_image_do_custom_callback(void *data, int command, obs_data_t *settings)
{
    KP_LOG(1, QStringLiteral("TTTTTTTTTTTTTTTV"));
    if (KPImagePluginList *list = listOf(data))
        list->customCallback(command, settings);
}

void kp_image_tablet_event(void *data, void *event)
{
    if (KPImagePluginList *list = listOf(data))
        list->tabletEvent(event);
}

namespace {

void fillImageInfo(kp_obs_source_info *info)
{
    info->type = OBS_SOURCE_TYPE_INPUT;
    info->output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_INTERACTION;
    info->destroy = kp_image_source_destroy;
    info->get_width = kp_image_source_get_width;
    info->get_height = kp_image_source_get_height;
    info->get_defaults = kp_image_source_defaults;
    info->get_properties = kp_image_source_properties;
    info->update = kp_image_source_update;
    info->show = kp_image_source_show;
    info->hide = kp_image_source_hide;
    info->video_tick = kp_image_source_video_tick;
    info->video_render = kp_image_source_video_render;
    info->mouse_click = kp_image_sourcemouse_click;
    info->mouse_move = kp_image_mouse_move;
    info->mouse_wheel = kp_image_mouse_wheel;
    info->focus = kp_image_focus;
    info->key_click = kp_image_key_click;
    info->status = kp_image_status;
    info->do_custom_callback = kp_image_do_custom_callback;
}

} // namespace

void kp_fill_obsolete_image_info(kp_obs_source_info *info)
{
    fillImageInfo(info);
    info->id = "obsolete_image_module";
    info->get_name = kp_image_source_get_name;
    info->create = kp_image_source_create;
}

void kp_fill_single_image_info(kp_obs_source_info *info)
{
    fillImageInfo(info);
    info->id = "kp_single_image_source";
    info->get_name = kp_single_image_source_get_name;
    info->create = kp_image_source_create_single;
    info->tablet_event = kp_image_tablet_event;
}
