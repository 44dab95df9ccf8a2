#pragma once

// The slideshow source types "kp_clound_source" and "kp_image_source": the
// controlling application writes the picture to show into "file" and the
// slideshow switches to it with a transition. Each picture keeps one private
// "kp_single_image_source" (and with it its annotation board) for the whole
// life of the slideshow; input, status and commands reach the picture on air.

#include "kpobsext.h"

#include <util/darray.h>

#include <pthread.h>

class KPFolderScan;

struct slide_file
{
    char *path;           // "file" exactly as given, owned (bmemdup)
    obs_source_t *source; // owned reference to the picture's private source
};

struct slideshow
{
    obs_source_t *source;
    uint32_t tr_duration;
    const char *tr_name; // canonical name of the transition in use, or null
    obs_source_t *transition; // the one of transitions in use, or null
    size_t cur_item;
    pthread_mutex_t mutex; // guards transition, files and cur_item
    DARRAY(struct slide_file) files;
    // Every transition made so far, one per row of the transition table, owned.
    obs_source_t *transitions[6];
    char *folder; // the folder of the first fill (bstrdup), or null
    // The slide whose switch waits for its picture (video thread only), or SIZE_MAX.
    size_t pending;
    bool pending_resize;
    uint32_t pending_ticks;
    // The first fill while its folder is read on a worker (video thread
    // only): the scan, the settings that asked for it and the transition they
    // chose; settings of updates meanwhile wait in later_settings. All owned
    // except the transition, which transitions holds.
    KPFolderScan *scan;
    obs_data_t *scan_settings;
    obs_source_t *scan_fresh;
    obs_data_t *later_settings;
};

const char *ss_get_name_cloud(void *typeData);
const char *ss_get_name_image(void *typeData);
void *ss_create(obs_data_t *settings, obs_source_t *source);
void ss_destroy(void *data);
void ss_defaults(obs_data_t *settings);
obs_properties_t *ss_properties(void *data);
void ss_update(void *data, obs_data_t *settings);
void ss_video_tick(void *data, float seconds);
void ss_video_render(void *data, gs_effect_t *effect);
bool ss_audio_render(void *data, uint64_t *tsOut, obs_source_audio_mix *audio, uint32_t mixers,
                     size_t channels, size_t sampleRate);
void ss_enum_sources(void *data, obs_source_enum_proc_t callback, void *param);
uint32_t ss_width(void *data);
uint32_t ss_height(void *data);
void ss_mouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp,
                    uint32_t clickCount);
void ss_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave);
void ss_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta);
void ss_image_focus(void *data, bool focus);
void ss_image_key_click(void *data, const obs_key_event *event, bool keyUp);
void ss_image_status(void *data, obs_data_t *status);
void ss_image_do_custom_callback(void *data, int command, obs_data_t *settings);
void ss_image_tablet_event(void *data, void *event);

// True for the picture extensions a folder scan takes (".png", ".JPG", ...).
bool is_image_extension(const char *ext);

// Reads "use_custom_size" ("WxH" or an aspect ratio "W:H") over the largest
// picture size; anything else, and "Automatic", keeps that size.
void ss_custom_size(const char *customSize, const char *automatic, uint32_t *width,
                    uint32_t *height);

// Fills a slideshow record; the two types differ only in id and name.
void kp_fill_slideshow_info(kp_obs_source_info *info, const char *id,
                            const char *(*getName)(void *));
