#include "kpwhiteboard.h"

#include "kpannotationexporter.h"
#include "kpboardhotkeys.h"
#include "kplog.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

#include <obs-module.h>

namespace {

const QString kEntryMark = QStringLiteral("TTTTTTTTTTTTTTTV");

// A host never passes null source data; if one does, the call is dropped.
KPWhiteBoardObject *boardOf(void *data)
{
    if (!data)
        KP_LOG(1, QStringLiteral("source data is NULL."));
    return static_cast<KPWhiteBoardObject *>(data);
}

void addHotkeys(KPWhiteBoardObject *board, obs_source_t *source)
{
    KPBoardHotkeys::attachCommands(board, source, [board](int command) { board->do_custom_callback(command, nullptr); });
}

} // namespace

const char *kp_source_whiteboard_get_name(void *)
{
    KP_LOG(1, kEntryMark);
    return obs_module_text("kp_white_board");
}

void *kp_source_whiteboard_create(obs_data_t *settings, obs_source_t *source)
{
    KP_LOG(1, kEntryMark);
    auto *board = new KPWhiteBoardObject(source);
    board->updateWithSettings(settings);
    addHotkeys(board, source);
    return board;
}

void kp_source_whiteboard_destroy(void *data)
{
    KP_LOG(1, kEntryMark);
    KPWhiteBoardObject *board = boardOf(data);
    KPSourceHotkeys::detach(board);
    delete board;
}

uint32_t kp_source_whiteboard_get_width(void *data)
{
    return data ? static_cast<uint32_t>(boardOf(data)->width()) : 0;
}

uint32_t kp_source_whiteboard_get_height(void *data)
{
    return data ? static_cast<uint32_t>(boardOf(data)->height()) : 0;
}

void kp_source_whiteboard_defaults(obs_data_t *settings)
{
    KP_LOG(1, kEntryMark);
    const KPWhiteBoardObject initial(nullptr);
    obs_data_set_default_int(settings, "kp_wb_width", initial.width());
    obs_data_set_default_int(settings, "kp_wb_height", initial.height());
    obs_data_set_default_int(settings, "kp_wb_background", initial.background());
    obs_data_set_default_bool(settings, "kp_wb_hideHandwriting", initial.hideHandwriting());
    KPUtilInterface::setDefaults(settings);
}

obs_properties_t *kp_source_whiteboard_properties(void *data)
{
    KP_LOG(1, kEntryMark);
    obs_properties_t *properties = obs_properties_create();
    KPWhiteBoardObject::addProperties(properties, false);
    KPAnnotationExporter::addProperties(properties, data ? boardOf(data)->source() : nullptr);
    return properties;
}

void kp_source_whiteboard_update(void *data, obs_data_t *settings)
{
    if (KPWhiteBoardObject *board = boardOf(data))
        board->updateWithSettings(settings);
}

void kp_source_whiteboard_video_tick(void *data, float seconds)
{
    if (KPWhiteBoardObject *board = boardOf(data)) {
        board->advanceClock(seconds);
        board->do_video_tick();
    }
}

void kp_source_whiteboard_hide(void *data)
{
    if (KPWhiteBoardObject *board = boardOf(data))
        board->hidePointers();
}

void kp_source_whiteboard_video_render(void *data, gs_effect_t *effect)
{
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_video_render(effect);
}

void kp_save(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (KPWhiteBoardObject *board = boardOf(data))
        board->save(settings);
}

void kp_load(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (KPWhiteBoardObject *board = boardOf(data))
        board->load(settings);
}

void kp_mouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp, uint32_t clickCount)
{
    KP_LOG(1, kEntryMark);
    if (event) {
        KP_LOG(1, QStringLiteral("TTTTV:color_mouse_click type=%1,x=%2,y=%3,click_count=%4,mouse_up=%5,modifiers=%6")
                      .arg(type)
                      .arg(event->x)
                      .arg(event->y)
                      .arg(clickCount)
                      .arg(QLatin1String(mouseUp ? "up" : "down"))
                      .arg(event->modifiers));
    }
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_mouse_click(event, type, mouseUp, clickCount);
}

void kp_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave)
{
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_mouse_move(event, mouseLeave);
}

void kp_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta)
{
    KP_LOG(1, kEntryMark);
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_mouse_wheel(event, xDelta, yDelta);
}

void kp_focus(void *data, bool focus)
{
    KP_LOG_SCOPE();
    if (KPWhiteBoardObject *board = boardOf(data))
        board->focus(focus);
}

void kp_key_click(void *data, const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_key_click(event, keyUp);
}

void kp_source_whiteboard_status(void *data, obs_data_t *status)
{
    KP_LOG(1, kEntryMark);
    if (KPWhiteBoardObject *board = boardOf(data)) {
        board->setStatusData(status);
        KPAnnotationExporter::addStatus(board->source(), status);
    }
}

void kp_source_whiteboard_do_custom_callback(void *data, int command, obs_data_t *settings)
{
    KP_LOG(1, kEntryMark);
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_custom_callback(command, settings);
}

void kp_source_whiteboard_tablet_event(void *data, void *event)
{
    if (KPWhiteBoardObject *board = boardOf(data))
        board->do_tablet_event(event);
}

void kp_fill_whiteboard_info(kp_obs_source_info *info)
{
    info->id = "kp_source_whiteboard";
    info->type = OBS_SOURCE_TYPE_INPUT;
    info->output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_INTERACTION;
    info->get_name = kp_source_whiteboard_get_name;
    info->create = kp_source_whiteboard_create;
    info->destroy = kp_source_whiteboard_destroy;
    info->get_width = kp_source_whiteboard_get_width;
    info->get_height = kp_source_whiteboard_get_height;
    info->get_defaults = kp_source_whiteboard_defaults;
    info->get_properties = kp_source_whiteboard_properties;
    info->update = kp_source_whiteboard_update;
    info->video_tick = kp_source_whiteboard_video_tick;
    info->hide = kp_source_whiteboard_hide;
    info->video_render = kp_source_whiteboard_video_render;
    info->save = kp_save;
    info->load = kp_load;
    info->mouse_click = kp_mouse_click;
    info->mouse_move = kp_mouse_move;
    info->mouse_wheel = kp_mouse_wheel;
    info->focus = kp_focus;
    info->key_click = kp_key_click;
    info->status = kp_source_whiteboard_status;
    info->do_custom_callback = kp_source_whiteboard_do_custom_callback;
    info->tablet_event = kp_source_whiteboard_tablet_event;
}
