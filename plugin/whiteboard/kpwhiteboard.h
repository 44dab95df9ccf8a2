#pragma once

// The "kp_source_whiteboard" source type: free functions with the host's
// callback signatures, each forwarding to the KPWhiteBoardObject it created.

#include "kpobsext.h"

const char *kp_source_whiteboard_get_name(void *typeData);
void *kp_source_whiteboard_create(obs_data_t *settings, obs_source_t *source);
void kp_source_whiteboard_destroy(void *data);
uint32_t kp_source_whiteboard_get_width(void *data);
uint32_t kp_source_whiteboard_get_height(void *data);
void kp_source_whiteboard_defaults(obs_data_t *settings);
obs_properties_t *kp_source_whiteboard_properties(void *data);
void kp_source_whiteboard_update(void *data, obs_data_t *settings);
void kp_source_whiteboard_video_tick(void *data, float seconds);
// The laser trail and the spotlight go when the source is hidden.
void kp_source_whiteboard_hide(void *data);
void kp_source_whiteboard_video_render(void *data, gs_effect_t *effect);
void kp_save(void *data, obs_data_t *settings);
void kp_load(void *data, obs_data_t *settings);
void kp_mouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp, uint32_t clickCount);
void kp_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave);
void kp_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta);
void kp_focus(void *data, bool focus);
void kp_key_click(void *data, const obs_key_event *event, bool keyUp);
void kp_source_whiteboard_status(void *data, obs_data_t *status);
void kp_source_whiteboard_do_custom_callback(void *data, int command, obs_data_t *settings);
void kp_source_whiteboard_tablet_event(void *data, void *event);

// Fills the whiteboard's source record (id, flags 33 and the callbacks above).
void kp_fill_whiteboard_info(kp_obs_source_info *info);
