#include "kpslideshow.h"

#include "kpannotationexporter.h"
#include "kpboardhotkeys.h"
#include "kpfolderscan.h"
#include "kpimage.h"
#include "kpimagepluginlist.h"
#include "kplog.h"
#include "kppictureboards.h"
#include "kpslideshownavigator.h"

#include <QMutexLocker>

#include <obs-module.h>
#include <util/platform.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace {

const char kAutoSizeKey[] = "SlideShow.CustomSize.Auto";

slideshow *slideshowOf(void *data)
{
    if (!data)
        KP_LOG(1, QStringLiteral("slideshow data is NULL."));
    return static_cast<slideshow *>(data);
}

// Input and size questions go to the picture on air; nothing happens while
// there is none.
template <typename Pass>
void passToSlide(void *data, Pass pass)
{
    auto *ss = static_cast<slideshow *>(data);
    if (obs_source_t *slide = ss ? ss->slides().current() : nullptr) {
        pass(slide);
        obs_source_release(slide);
    }
}

} // namespace

slideshow::slideshow(obs_source_t *source) : m_source(source) {}

slideshow::~slideshow()
{
    obs_data_release(m_scanSettings);
    obs_data_release(m_laterSettings);
}

// The one place the state changes.
void slideshow::setState(State next)
{
    m_state = next;
}

bool slideshow::scanRunning() const
{
    return m_state == State::Scanning && !m_scan->finished();
}

obs_source_t *slideshow::swapTransition(obs_source_t *fresh)
{
    QMutexLocker lock(&mutex);
    return std::exchange(transition, fresh);
}

obs_source_t *slideshow::transitionRef() const
{
    QMutexLocker lock(&mutex);
    return obs_source_get_ref(transition);
}

void slideshow::applyToCurrent(obs_data_t *settings)
{
    m_slides.apply(m_slides.currentIndex(), settings);
}

void slideshow::switchTo(size_t index, bool resize)
{
    obs_source_t *slide = m_slides.at(index);
    m_switch.wait(index, slide, resize);
    obs_source_release(slide);
    setState(State::Switching);
}

void slideshow::finishSwitch()
{
    obs_source_t *slide = m_state == State::Switching ? m_switch.ready() : nullptr;
    if (!slide)
        return;
    KP_LOG(1, QStringLiteral("transition start."));
    obs_source_t *current = transitionRef();
    if (current && m_switch.resize())
        obs_transition_set_size(current, obs_source_get_width(slide), obs_source_get_height(slide));
    m_transitions.start(current, slide);
    obs_source_release(current);
    KP_LOG(1, QStringLiteral("transition end."));
    m_switch.done();
    obs_source_release(slide);
    setState(State::Showing);
}

// The canvas is the largest size the pictures' headers claim: slides
// decode nothing until they go on air.
void slideshow::firstFill(obs_data_t *settings, const KPFolderScan &scan, obs_source_t *fresh)
{
    KP_LOG(1, QStringLiteral("files.num < 1"));
    uint32_t width = 0;
    uint32_t height = 0;
    if (scan.isFolder())
        m_folder = scan.file();
    for (const KPFolderScan::Picture &picture : scan.pictures()) {
        m_slides.add(picture.path.constData());
        width = std::max(width, picture.width);
        height = std::max(height, picture.height);
    }
    if (fresh) {
        if (obs_source_t *old = swapTransition(fresh))
            obs_source_remove_active_child(m_source, old);
    }
    m_slides.setCurrent(0);
    if (!m_slides.isEmpty())
        applyToCurrent(settings);
    ss_custom_size(obs_data_get_string(settings, "use_custom_size"), obs_module_text(kAutoSizeKey),
                   &width, &height);
    if (obs_source_t *current = transitionRef()) {
        obs_transition_set_size(current, width, height);
        KPSlideTransitions::setLayout(current);
        obs_source_release(current);
    }
    if (fresh)
        obs_source_add_active_child(m_source, fresh);
    if (m_slides.isEmpty())
        setState(State::Empty);
    else
        switchTo(0, false);
}

void slideshow::showPicture(obs_data_t *settings, const char *file)
{
    KP_LOG(1, QStringLiteral("try to find source in mem."));
    const size_t found = m_slides.find(file);
    if (found < m_slides.count()) {
        KP_LOG(1, QStringLiteral("find"));
        m_slides.setCurrent(found);
        obs_source_t *slide = m_slides.at(found);
        obs_data_t *own = obs_source_get_settings(slide);
        obs_data_set_bool(own, "active", true);
        obs_data_release(own);
        obs_source_release(slide);
    } else {
        KP_LOG(1, QStringLiteral("not find"));
        m_slides.add(file);
        m_slides.setCurrent(m_slides.count() - 1);
    }
    applyToCurrent(settings);
    switchTo(m_slides.currentIndex(), true);
}

// After a folder's first fill "file" still names the folder, and a folder is
// never a picture: such a "file" changes the settings, not the picture.
bool slideshow::isFolder(const char *file) const
{
    if (!m_folder.isEmpty() && m_folder == file)
        return true;
    struct stat info = {};
    return os_stat(file, &info) == 0 && S_ISDIR(info.st_mode);
}

void slideshow::laterUpdate(obs_data_t *settings, const char *file, obs_source_t *fresh)
{
    KP_LOG(1, QStringLiteral("files.num >= 1"));
    if (fresh) {
        obs_source_t *old = swapTransition(fresh);
        KPSlideTransitions::takeOver(fresh, old);
        KPSlideTransitions::setLayout(fresh);
        obs_source_add_active_child(m_source, fresh);
        // Kept for its row: it only stops being an active child.
        if (old)
            obs_source_remove_active_child(m_source, old);
    }
    const QByteArray current = m_slides.currentPath().toUtf8();
    const int cmp = std::strcmp(current.constData(), file);
    KP_LOG(1, QStringLiteral("ss->files.array[ss->cur_item].path: %1, curFile:%2,cmp:%3")
                  .arg(QString::fromUtf8(current), QString::fromUtf8(file))
                  .arg(cmp));
    if (cmp != 0 && !isFolder(file)) {
        showPicture(settings, file);
        return;
    }
    if (fresh)
        KP_LOG(1, QStringLiteral("file not changed."));
    applyToCurrent(settings);
    // A switch still waiting for this slide's picture starts it itself.
    const size_t index = m_slides.currentIndex();
    if (fresh && !(m_state == State::Switching && m_switch.index() == index)) {
        obs_source_t *slide = m_slides.at(index);
        m_transitions.start(fresh, slide);
        obs_source_release(slide);
    }
}

// The folder listing and the headers are read on a worker; the fill itself
// happens on the tick that finds the scan finished.
void slideshow::startFill(obs_data_t *settings, const QByteArray &file, obs_source_t *fresh)
{
    m_scan.reset(new KPFolderScan(file));
    m_scanSettings = obs_data_create();
    obs_data_apply(m_scanSettings, settings);
    m_scanFresh = fresh;
    setState(State::Scanning);
}

void slideshow::finishFill()
{
    const std::unique_ptr<KPFolderScan> scan = std::move(m_scan);
    obs_data_t *settings = std::exchange(m_scanSettings, nullptr);
    firstFill(settings, *scan, std::exchange(m_scanFresh, nullptr));
    obs_data_release(settings);
    if (obs_data_t *later = std::exchange(m_laterSettings, nullptr)) {
        update(later);
        obs_data_release(later);
    }
}

void slideshow::update(obs_data_t *live)
{
    if (m_state == State::Scanning) {
        // A first fill is being prepared: the newest settings wait for it.
        obs_data_release(m_laterSettings);
        m_laterSettings = obs_data_create();
        obs_data_apply(m_laterSettings, live);
        return;
    }
    // libobs runs this later on the video thread, while any thread may
    // rewrite the live settings meanwhile (freeing the strings they held):
    // the update reads one copy taken at its entry, and owned strings.
    obs_data_t *settings = obs_data_create();
    obs_data_apply(settings, live);
    obs_data_array_t *list = obs_data_get_array(settings, "c_data_name_file_list");
    const QByteArray file = obs_data_get_string(settings, "file");
    KP_LOG(1, QStringLiteral("cur file is:%1, files count:%2")
                  .arg(QString::fromUtf8(file))
                  .arg(obs_data_array_count(list)));
    obs_data_array_release(list);
    if (!file.isEmpty()) {
        const QByteArray name = obs_data_get_string(settings, "transition");
        KP_LOG(1, QStringLiteral("in tr_name is:%1").arg(QString::fromUtf8(name)));
        obs_source_t *fresh = m_transitions.choose(name.constData());
        if (m_state == State::Empty)
            startFill(settings, file, fresh);
        else
            laterUpdate(settings, file.constData(), fresh);
    }
    obs_data_release(settings);
}

void slideshow::tick()
{
    if (m_state == State::Scanning && m_scan->finished())
        finishFill();
    finishSwitch();
}

void slideshow::render()
{
    if (obs_source_t *current = transitionRef()) {
        obs_source_video_render(current);
        obs_source_release(current);
    }
}

void slideshow::enumSources(obs_source_enum_proc_t callback, void *param)
{
    QMutexLocker lock(&mutex);
    if (transition)
        callback(m_source, transition, param);
}

void slideshow::status(obs_data_t *status)
{
    KP_LOG(1, QStringLiteral("ss->files.num :%1, ss->cur_item:%2").arg(m_slides.count()).arg(m_slides.currentIndex()));
    if (obs_source_t *slide = m_slides.current()) {
        // The host keeps the slide's status record; it is merged, not released.
        if (status)
            obs_data_apply(status, kp_obs_get_source_status(slide));
        obs_source_release(slide);
    }
    // The first fill is a picture on its way too.
    if (status && (m_switch.waiting() || m_state == State::Scanning))
        obs_data_set_bool(status, "kp_picture_loading", true);
    KPAnnotationExporter::addStatus(m_source, status);
}

void slideshow::save(obs_data_t *settings) const
{
    obs_data_array_t *records = obs_data_array_create();
    for (obs_source_t *slide : m_slides.all()) {
        if (auto *list = static_cast<KPImagePluginList *>(obs_obj_get_data(slide)))
            list->saveBoards(records);
        obs_source_release(slide);
    }
    KPPictureBoards::write(settings, records);
    obs_data_array_release(records);
}

void slideshow::load(obs_data_t *settings)
{
    KPPictureBoards::read(settings, [this](const QString &path, obs_data_t *record) {
        obs_source_t *slide = m_slides.slideForLoad(path.toUtf8());
        if (auto *list = slide ? static_cast<KPImagePluginList *>(obs_obj_get_data(slide)) : nullptr)
            list->loadBoard(path, record);
        else
            KP_LOG(1, QStringLiteral("drawings of %1 not loaded: no slide").arg(path));
        obs_source_release(slide);
    });
}

const char *ss_get_name_cloud(void *)
{
    return obs_module_text("kp_clound_source");
}

const char *ss_get_name_image(void *)
{
    return obs_module_text("kp_image_source");
}

void *ss_create(obs_data_t *, obs_source_t *source)
{
    KP_LOG_SCOPE();
    auto *ss = new slideshow(source);
    obs_source_update(source, nullptr);
    // The slides are private sources, which libobs gives no hotkeys: the
    // slideshow carries them and passes them on as it passes commands on.
    KPBoardHotkeys::attachCommands(ss, source, [ss](int command) { ss_image_do_custom_callback(ss, command, nullptr); });
    const KPSlideList *slides = &ss->slides();
    KPSlideshowNavigator::attach(ss, source, {[slides] { return slides->currentPath(); },
                                              [slides] { return slides->paths(); }});
    return ss;
}

void ss_destroy(void *data)
{
    KP_LOG_SCOPE();
    slideshow *ss = slideshowOf(data);
    if (!ss)
        return;
    KPSourceHotkeys::detach(ss);
    delete ss;
}

void ss_update(void *data, obs_data_t *live)
{
    slideshow *ss = slideshowOf(data);
    if (ss && live)
        ss->update(live);
}

void ss_video_tick(void *data, float)
{
    if (auto *ss = static_cast<slideshow *>(data))
        ss->tick();
}

void ss_video_render(void *data, gs_effect_t *)
{
    if (auto *ss = static_cast<slideshow *>(data))
        ss->render();
}

bool ss_audio_render(void *, uint64_t *tsOut, obs_source_audio_mix *, uint32_t, size_t, size_t)
{
    // No audio of its own: success with nothing mixed and no timestamp.
    if (tsOut)
        *tsOut = 0;
    return true;
}

void ss_enum_sources(void *data, obs_source_enum_proc_t callback, void *param)
{
    if (auto *ss = static_cast<slideshow *>(data))
        ss->enumSources(callback, param);
}

uint32_t ss_width(void *data)
{
    uint32_t width = 0;
    passToSlide(data, [&](obs_source_t *slide) { width = obs_source_get_width(slide); });
    return width;
}

uint32_t ss_height(void *data)
{
    uint32_t height = 0;
    passToSlide(data, [&](obs_source_t *slide) { height = obs_source_get_height(slide); });
    return height;
}

void ss_mouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp,
                    uint32_t clickCount)
{
    passToSlide(data, [&](obs_source_t *slide) {
        obs_source_send_mouse_click(slide, event, type, mouseUp, clickCount);
    });
}

void ss_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave)
{
    passToSlide(data, [&](obs_source_t *slide) { obs_source_send_mouse_move(slide, event, mouseLeave); });
}

void ss_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta)
{
    passToSlide(data, [&](obs_source_t *slide) { obs_source_send_mouse_wheel(slide, event, xDelta, yDelta); });
}

void ss_image_focus(void *data, bool focus)
{
    KP_LOG_SCOPE();
    KP_LOG(1, QStringLiteral("ss_image_focus focus:%1").arg(focus ? 1 : 0));
    passToSlide(data, [&](obs_source_t *slide) { obs_source_send_focus(slide, focus); });
}

void ss_image_key_click(void *data, const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    passToSlide(data, [&](obs_source_t *slide) { obs_source_send_key_click(slide, event, keyUp); });
}

void ss_image_status(void *data, obs_data_t *status)
{
    KP_LOG_SCOPE();
    if (slideshow *ss = slideshowOf(data))
        ss->status(status);
}

void ss_image_do_custom_callback(void *data, int command, obs_data_t *settings)
{
    passToSlide(data, [&](obs_source_t *slide) { kp_obs_custom_callback(slide, command, settings); });
}

void ss_image_tablet_event(void *data, void *event)
{
    passToSlide(data, [&](obs_source_t *slide) { kp_tablet_event(slide, event); });
}

void ss_save(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    slideshow *ss = slideshowOf(data);
    if (ss && settings)
        ss->save(settings);
}

void ss_load(void *data, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    if (slideshow *ss = slideshowOf(data))
        ss->load(settings);
}

void kp_fill_slideshow_info(kp_obs_source_info *info, const char *id,
                            const char *(*getName)(void *))
{
    info->id = id;
    info->type = OBS_SOURCE_TYPE_INPUT;
    info->output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_CUSTOM_DRAW | OBS_SOURCE_INTERACTION
        | OBS_SOURCE_COMPOSITE;
    info->get_name = getName;
    info->create = ss_create;
    info->destroy = ss_destroy;
    info->get_width = ss_width;
    info->get_height = ss_height;
    info->get_defaults = ss_defaults;
    info->get_properties = ss_properties;
    info->update = ss_update;
    info->video_tick = ss_video_tick;
    info->video_render = ss_video_render;
    info->enum_active_sources = ss_enum_sources;
    info->mouse_click = ss_mouse_click;
    info->mouse_move = ss_mouse_move;
    info->mouse_wheel = ss_mouse_wheel;
    info->focus = ss_image_focus;
    info->key_click = ss_image_key_click;
    info->audio_render = ss_audio_render;
    info->status = ss_image_status;
    info->do_custom_callback = ss_image_do_custom_callback;
    info->tablet_event = ss_image_tablet_event;
    info->save = ss_save;
    info->load = ss_load;
}
