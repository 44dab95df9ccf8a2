#include "kpimage.h"

#include "kpannotationexporter.h"
#include "kpimageplugin.h"
#include "kpboardhotkeys.h"
#include "kpimagepluginlist.h"
#include "kplog.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

#include <QImageReader>

#include <obs-module.h>
#include <util/platform.h>

#include <sys/stat.h>

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

// Modification time of the file, -1 when it cannot be examined.
int64_t modificationTime(const QString &path)
{
    struct stat info = {};
    if (path.isEmpty() || os_stat(path.toUtf8().constData(), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_mtime);
}

// libobs's GIF decoder keeps an allocation of every file whose header reads
// but whose frames do not: such a file is refused before it gets there.
bool gifDecodes(const QString &path)
{
    if (!path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        return true;
    QImageReader reader(path, "gif");
    return !reader.read().isNull();
}

// Called inside the graphics context.
void freePicture(KPImagePluginList *list)
{
    gs_image_file_free(&list->image);
    list->pictureWidth = 0;
    list->pictureHeight = 0;
    list->animated = false;
}

// Decoding runs outside the graphics context, into a picture of its own, so
// that rendering and the animation clock never see one half decoded. A
// picture that did not decode, or whose texture could not be made, counts as
// no picture at all: the source never sizes or draws itself from it.
bool installPicture(KPImagePluginList *list, const QString &path)
{
    gs_image_file decoded;
    gs_image_file_init(&decoded, gifDecodes(path) ? path.toUtf8().constData() : nullptr);
    obs_enter_graphics();
    freePicture(list);
    list->image = decoded;
    gs_image_file_init_texture(&list->image);
    const bool usable = list->image.loaded && list->image.texture;
    if (usable) {
        list->pictureWidth = list->image.cx;
        list->pictureHeight = list->image.cy;
        list->animated = list->image.is_animated_gif;
    } else {
        freePicture(list);
    }
    obs_leave_graphics();
    return usable;
}

void restartAnimation(KPImagePluginList *list)
{
    obs_enter_graphics();
    if (list->image.is_animated_gif) {
        list->image.cur_frame = 0;
        list->image.cur_loop = 0;
        list->image.cur_time = 0;
        gs_image_file_update_texture(&list->image);
    }
    obs_leave_graphics();
}

void advanceAnimation(KPImagePluginList *list, uint64_t elapsedNs)
{
    obs_enter_graphics();
    if (list->image.is_animated_gif && gs_image_file_tick(&list->image, elapsedNs))
        gs_image_file_update_texture(&list->image);
    obs_leave_graphics();
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
    if (obs_data_get_bool(settings, "active"))
        kp_image_source_load(list);
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
    if (list && !list->persistent)
        kp_image_source_unload(list);
}

void kp_image_source_load(KPImagePluginList *list)
{
    KP_LOG_SCOPE();
    const QString path = list->currentFile();
    obs_enter_graphics();
    freePicture(list);
    obs_leave_graphics();
    // An empty path has no file to examine; remembering that as a failed
    // examination keeps the reload check from loading nothing every second.
    list->fileTimestamp = modificationTime(path);
    if (!path.isEmpty()) {
        const bool usable = installPicture(list, path);
        list->updateTimeElapsed = 0.0f;
        list->setSize(list->pictureWidth, list->pictureHeight);
        if (!usable)
            KP_LOG(1, QStringLiteral("failed to load texture %1").arg(path));
    }
    list->setActive(true);
}

void kp_image_source_unload(KPImagePluginList *list)
{
    KP_LOG_SCOPE();
    obs_enter_graphics();
    freePicture(list);
    obs_leave_graphics();
    list->deactivate();
}

void kp_image_source_video_tick(void *data, float seconds)
{
    KPImagePluginList *list = listOf(data);
    if (!list)
        return;
    const uint64_t now = obs_get_video_frame_time();
    list->updateTimeElapsed += seconds;
    if (list->updateTimeElapsed >= 1.0f) {
        const int64_t timestamp = modificationTime(list->currentFile());
        list->updateTimeElapsed = 0.0f;
        if (timestamp != list->fileTimestamp)
            kp_image_source_load(list);
    }
    if (obs_source_active(list->source)) {
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
}

void kp_image_source_video_render(void *data, gs_effect_t *effect)
{
    KPImagePluginList *list = listOf(data);
    if (!list || !list->image.texture)
        return;
    if (effect)
        gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), list->image.texture);
    gs_draw_sprite(list->image.texture, 0, list->image.cx, list->image.cy);
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
