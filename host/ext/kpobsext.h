#pragma once

/*
 * The host's additions to libobs: a longer source-info record and four functions.
 *
 * kp_obs_source_info starts with libobs's first 32 obs_source_info fields, with
 * libobs's types and in libobs's order, followed by three fields of the host:
 *   32 status              write the source's current state into a record
 *   33 do_custom_callback  perform a numbered command
 *   34 tablet_event        handle a pen-tablet event (a QTabletEvent pointer)
 *
 * Register such a record with kp_obs_register_source only: libobs 29 has fields
 * of its own at positions 32 to 34, so it must never see the extended record.
 */

#include <stddef.h>
#include <stdbool.h>
#include <obs.h>

#if defined(_WIN32)
#define KP_OBS_EXT_API __declspec(dllexport)
#else
#define KP_OBS_EXT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct kp_obs_source_info {
	const char *id;
	enum obs_source_type type;
	uint32_t output_flags;
	const char *(*get_name)(void *type_data);
	void *(*create)(obs_data_t *settings, obs_source_t *source);
	void (*destroy)(void *data);
	uint32_t (*get_width)(void *data);
	uint32_t (*get_height)(void *data);
	void (*get_defaults)(obs_data_t *settings);
	obs_properties_t *(*get_properties)(void *data);
	void (*update)(void *data, obs_data_t *settings);
	void (*activate)(void *data);
	void (*deactivate)(void *data);
	void (*show)(void *data);
	void (*hide)(void *data);
	void (*video_tick)(void *data, float seconds);
	void (*video_render)(void *data, gs_effect_t *effect);
	struct obs_source_frame *(*filter_video)(void *data, struct obs_source_frame *frame);
	struct obs_audio_data *(*filter_audio)(void *data, struct obs_audio_data *audio);
	void (*enum_active_sources)(void *data, obs_source_enum_proc_t enum_callback, void *param);
	void (*save)(void *data, obs_data_t *settings);
	void (*load)(void *data, obs_data_t *settings);
	void (*mouse_click)(void *data, const struct obs_mouse_event *event, int32_t type,
			    bool mouse_up, uint32_t click_count);
	void (*mouse_move)(void *data, const struct obs_mouse_event *event, bool mouse_leave);
	void (*mouse_wheel)(void *data, const struct obs_mouse_event *event, int x_delta,
			    int y_delta);
	void (*focus)(void *data, bool focus);
	void (*key_click)(void *data, const struct obs_key_event *event, bool key_up);
	void (*filter_remove)(void *data, obs_source_t *source);
	void *type_data;
	void (*free_type_data)(void *type_data);
	bool (*audio_render)(void *data, uint64_t *ts_out, struct obs_source_audio_mix *audio_output,
			     uint32_t mixers, size_t channels, size_t sample_rate);
	void (*enum_all_sources)(void *data, obs_source_enum_proc_t enum_callback, void *param);

	/* The host's fields. */
	void (*status)(void *data, obs_data_t *status);
	void (*do_custom_callback)(void *data, int number, obs_data_t *settings);
	void (*tablet_event)(void *data, void *event);
};

/*
 * Registers a source type: libobs receives a zeroed obs_source_info holding the
 * record's first 32 fields, and the three host fields are remembered under the
 * type id. size is the caller's sizeof(struct kp_obs_source_info); a shorter
 * record registers with libobs only.
 */
KP_OBS_EXT_API void kp_obs_register_source(const struct kp_obs_source_info *info, size_t size);

/* True when log lines must be written in encrypted form. Any thread. */
KP_OBS_EXT_API bool kp_obs_get_log_encrypted(void);

/* The host-wide encryption switch; its first value comes from KP_LOG_ENCRYPTED=1. */
KP_OBS_EXT_API void kp_obs_set_log_encrypted(bool encrypted);

/*
 * The source's status record as written by its status field (an empty record
 * when the source has none). The host keeps ownership: the record stays valid
 * until the same thread queries the same source again, the source is destroyed
 * or the host releases all records; the caller never releases it.
 */
KP_OBS_EXT_API obs_data_t *kp_obs_get_source_status(obs_source_t *source);

/* Delivers a numbered command to the source's do_custom_callback field. */
KP_OBS_EXT_API void kp_obs_custom_callback(obs_source_t *source, int number, obs_data_t *settings);

/* Delivers a pen-tablet event to the source's tablet_event field. */
KP_OBS_EXT_API void kp_tablet_event(obs_source_t *source, void *event);

/* Releases every status record the host still holds (at host shutdown). */
KP_OBS_EXT_API void kp_obs_release_status_records(void);

#ifdef __cplusplus
}
#endif
