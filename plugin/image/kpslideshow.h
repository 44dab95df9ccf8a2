#pragma once

#include <atomic>

// The slideshow source types "kp_clound_source" and "kp_image_source": the
// controlling application writes the picture to show into "file" and the
// slideshow switches to it with a transition. Each picture keeps one private
// "kp_single_image_source" (and with it its annotation board) for the whole
// life of the slideshow; input, status and commands reach the picture on air.

#include "kpobsext.h"
#include "kpslidelist.h"
#include "kpslideswitch.h"
#include "kpslidetransitions.h"

#include <QByteArray>
#include <QMutex>

#include <memory>

class KPFolderScan;

class slideshow
{
public:
    // Empty: no picture yet; Scanning: the first fill reads its folder on a
    // worker; Showing: a picture is on air; Switching: a switch waits for
    // the picture it goes to, while the one on air stays.
    enum class State { Empty, Scanning, Showing, Switching };

    explicit slideshow(obs_source_t *source);
    ~slideshow();
    slideshow(const slideshow &) = delete;
    slideshow &operator=(const slideshow &) = delete;

    void update(obs_data_t *live);
    void tick();
    void render();
    void enumSources(obs_source_enum_proc_t callback, void *param);
    void status(obs_data_t *status);
    void save(obs_data_t *settings) const;
    void load(obs_data_t *settings);

    // Any thread.
    const KPSlideList &slides() const { return m_slides; }
    obs_source_t *source() const { return m_source; }
    // Whether the first fill still reads its folder (video thread).
    bool scanRunning() const;

private:
    void setState(State next);
    void startFill(obs_data_t *settings, const QByteArray &file, obs_source_t *fresh);
    void finishFill();
    void firstFill(obs_data_t *settings, const KPFolderScan &scan, obs_source_t *fresh);
    void laterUpdate(obs_data_t *settings, const char *file, obs_source_t *fresh);
    void showPicture(obs_data_t *settings, const char *file);
    void applyToCurrent(obs_data_t *settings);
    void switchTo(size_t index, bool resize);
    void finishSwitch();
    bool isFolder(const char *file) const;
    obs_source_t *swapTransition(obs_source_t *fresh);
    obs_source_t *transitionRef() const;

    obs_source_t *const m_source;
    // The slides, with their own lock (any thread reads them).
    KPSlideList m_slides;
    // Guards transition: the video thread replaces it, render and
    // enumeration read it.
    mutable QMutex mutex;
    obs_source_t *transition = nullptr; // one of m_transitions, or null
    // Written by the video thread only (update, tick and load run there);
    // the status read of any thread sees it whole.
    std::atomic<State> m_state{State::Empty};
    // The rest is the video thread's alone.
    KPSlideTransitions m_transitions;
    KPSlideSwitch m_switch;
    QByteArray m_folder; // the folder of the first fill, or empty
    // The first fill while Scanning: the scan, the settings that asked for
    // it and the transition they chose; updates meanwhile wait in
    // m_laterSettings. The settings are owned references.
    std::unique_ptr<KPFolderScan> m_scan;
    obs_data_t *m_scanSettings = nullptr;
    obs_source_t *m_scanFresh = nullptr;
    obs_data_t *m_laterSettings = nullptr;
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
// Every slide's drawings under "kp_picture_boards" (KPPictureBoards), by the
// slide's path; a load gives each record to the slide of its path, made at
// once (without decoding its picture) when there is none yet.
void ss_save(void *data, obs_data_t *settings);
void ss_load(void *data, obs_data_t *settings);

// True for the picture extensions a folder scan takes (".png", ".JPG", ...).
bool is_image_extension(const char *ext);

// Reads "use_custom_size" ("WxH" or an aspect ratio "W:H") over the largest
// picture size; anything else, and "Automatic", keeps that size.
void ss_custom_size(const char *customSize, const char *automatic, uint32_t *width,
                    uint32_t *height);

// Fills a slideshow record; the two types differ only in id and name.
void kp_fill_slideshow_info(kp_obs_source_info *info, const char *id,
                            const char *(*getName)(void *));
