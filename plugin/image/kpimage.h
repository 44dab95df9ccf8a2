#pragma once

// The two image source types, "obsolete_image_module" (a page per picture
// file) and "kp_single_image_source" (one page, emptied when the file
// changes): free functions with the host's callback signatures, each
// forwarding to the KPImagePluginList it created.

#include "kpobsext.h"

class KPImagePluginList;

const char *kp_image_source_get_name(void *typeData);
const char *kp_single_image_source_get_name(void *typeData);
void *kp_image_source_create(obs_data_t *settings, obs_source_t *source);
void *kp_image_source_create_single(obs_data_t *settings, obs_source_t *source);
void kp_image_source_destroy(void *data);
uint32_t kp_image_source_get_width(void *data);
uint32_t kp_image_source_get_height(void *data);
void kp_image_source_defaults(obs_data_t *settings);
obs_properties_t *kp_image_source_properties(void *data);
void kp_image_source_update(void *data, obs_data_t *settings);
void kp_image_source_show(void *data);
void kp_image_source_hide(void *data);
void kp_image_source_video_tick(void *data, float seconds);
void kp_image_source_video_render(void *data, gs_effect_t *effect);
void kp_image_sourcemouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp,
                                uint32_t clickCount);
void kp_image_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave);
void kp_image_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta);
void kp_image_focus(void *data, bool focus);
void kp_image_key_click(void *data, const obs_key_event *event, bool keyUp);
void kp_image_status(void *data, obs_data_t *status);
void kp_image_do_custom_callback(void *data, int command, obs_data_t *settings);
void kp_image_tablet_event(void *data, void *event);
// The drawings of every page under "kp_picture_boards" (KPPictureBoards),
// and back from there: the host saves and loads a scene on its UI thread.
void kp_image_source_save(void *data, obs_data_t *settings);
void kp_image_source_load_boards(void *data, obs_data_t *settings);

// Asks for the current page's picture (decoded on a worker, shown from a
// later tick) and activates the page; frees it and deactivates the page.
void kp_image_source_load(KPImagePluginList *list);
void kp_image_source_unload(KPImagePluginList *list);
// True while no picture is being decoded for the source (whether or not one
// is shown): a slideshow waits for it before switching to a slide.
bool kp_image_source_settled(void *data);
// How many settings updates the source has taken (0 for null).
uint64_t kp_image_source_updates(void *data);

void kp_fill_obsolete_image_info(kp_obs_source_info *info);
void kp_fill_single_image_info(kp_obs_source_info *info);
