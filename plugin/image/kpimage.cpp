#include "kpimage.h"

#include "kpimagepluginlist.h"
#include "kplog.h"

#include <obs-module.h>

namespace {

// A host never passes null source data; if one does, the call is dropped.
KPImagePluginList *listOf(void *data)
{
    if (!data)
        KP_LOG(1, QStringLiteral("source data is NULL."));
    return static_cast<KPImagePluginList *>(data);
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
    return KPImagePluginList::create(settings, source, false);
}

void *kp_image_source_create_single(obs_data_t *settings, obs_source_t *source)
{
    KP_LOG_SCOPE();
    return KPImagePluginList::create(settings, source, true);
}

void kp_image_source_destroy(void *data)
{
    KP_LOG_SCOPE();
    KPImagePluginList::destroy(listOf(data));
}

uint32_t kp_image_source_get_width(void *data)
{
    return data ? listOf(data)->width() : 0;
}

uint32_t kp_image_source_get_height(void *data)
{
    return data ? listOf(data)->height() : 0;
}

void kp_image_source_defaults(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    KPImagePluginList::setDefaults(settings);
}

obs_properties_t *kp_image_source_properties(void *data)
{
    KP_LOG_SCOPE();
    return KPImagePluginList::properties(static_cast<const KPImagePluginList *>(data));
}

void kp_image_source_update(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->update(settings);
}

void kp_image_source_show(void *data)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->show();
}

void kp_image_source_hide(void *data)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->hide();
}

void kp_image_source_load(KPImagePluginList *list)
{
    list->load();
}

void kp_image_source_unload(KPImagePluginList *list)
{
    list->unload();
}

void kp_image_source_video_tick(void *data, float seconds)
{
    if (KPImagePluginList *list = listOf(data))
        list->videoTick(seconds);
}

bool kp_image_source_settled(void *data)
{
    const auto *list = static_cast<const KPImagePluginList *>(data);
    return !list || list->settled();
}

uint64_t kp_image_source_updates(void *data)
{
    const auto *list = static_cast<const KPImagePluginList *>(data);
    return list ? list->updates() : 0;
}

void kp_image_source_video_render(void *data, gs_effect_t *effect)
{
    if (KPImagePluginList *list = listOf(data))
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
    if (KPImagePluginList *list = listOf(data))
        list->status(status);
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

void kp_image_source_save(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->save(settings);
}

void kp_image_source_load_boards(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (KPImagePluginList *list = listOf(data))
        list->loadBoards(settings);
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
    info->save = kp_image_source_save;
    info->load = kp_image_source_load_boards;
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
