#include "kpslideshow.h"

#include "kpannotationexporter.h"
#include "kpboardhotkeys.h"
#include "kpfolderscan.h"
#include "kpimage.h"
#include "kplog.h"
#include "kpslideshownavigator.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <obs-module.h>
#include <util/bmem.h>
#include <util/platform.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <utility>

namespace {

const char kSlideType[] = "kp_single_image_source";
const char kAutoSizeKey[] = "SlideShow.CustomSize.Auto";
const char kImageFilter[] =
    "All formats (*.bmp *.tga *.png *.jpeg *.jpg *.gif);;BMP Files (*.bmp);;"
    "Targa Files (*.tga);;PNG Files (*.png);;JPEG Files (*.jpeg *.jpg);;GIF Files (*.gif)";
const char kFileListFilter[] = "Image files (*.bmp *.tga *.png *.jpeg *.jpg *.gif)";
// Larger than any texture a graphics card takes: a canvas beyond this is a typo.
const int kMaxCanvasSide = 16384;
const uint32_t kAlignTopLeft = OBS_ALIGN_LEFT | OBS_ALIGN_TOP;
const size_t kNoSlide = SIZE_MAX;
// Ticks a switch waits for its picture at most (about ten seconds at 30 fps).
const uint32_t kMaxSwitchWait = 300;

struct TransitionRow
{
    const char *name;
    const char *id;
    const char *direction;
    uint32_t duration;
};

// The first row also stands for every name the table does not know.
const TransitionRow kTransitions[] = {
    {"cut", "fade_transition", nullptr, 100},
    {"fade", "fade_transition", nullptr, 1500},
    {"swipe_to_left", "swipe_transition", "left", 2000},
    {"swipe_to_right", "swipe_transition", "right", 2000},
    {"slide_to_left", "slide_transition", "left", 2000},
    {"slide_to_right", "slide_transition", "right", 2000},
};

static_assert(sizeof(kTransitions) / sizeof(kTransitions[0]) == sizeof(slideshow::transitions) / sizeof(obs_source_t *),
              "one kept transition per row");

const TransitionRow &transitionRow(const char *name)
{
    for (const TransitionRow &row : kTransitions) {
        if (name && strcasecmp(name, row.name) == 0)
            return row;
    }
    return kTransitions[0];
}

slideshow *slideshowOf(void *data)
{
    if (!data)
        KP_LOG(1, QStringLiteral("slideshow data is NULL."));
    return static_cast<slideshow *>(data);
}

class Locker
{
public:
    explicit Locker(slideshow *ss) : m_mutex(&ss->mutex) { pthread_mutex_lock(m_mutex); }
    ~Locker() { pthread_mutex_unlock(m_mutex); }
    Locker(const Locker &) = delete;
    Locker &operator=(const Locker &) = delete;

private:
    pthread_mutex_t *m_mutex;
};

// A new reference to the picture on air, or null while there is none.
obs_source_t *currentSlide(slideshow *ss)
{
    if (!ss)
        return nullptr;
    Locker lock(ss);
    if (ss->files.num == 0)
        return nullptr;
    return obs_source_get_ref(ss->files.array[ss->cur_item].source);
}

QString onAirPath(slideshow *ss)
{
    Locker lock(ss);
    return ss->files.num ? QString::fromUtf8(ss->files.array[ss->cur_item].path) : QString();
}

// The pictures in the order they were first shown.
QStringList shownPaths(slideshow *ss)
{
    Locker lock(ss);
    QStringList paths;
    for (size_t i = 0; i < ss->files.num; ++i)
        paths.append(QString::fromUtf8(ss->files.array[i].path));
    return paths;
}

// libobs answers a type it does not know (or a create that failed) with a
// placeholder source that has no data; such a source would show nothing and
// take no input, so it counts as not created.
obs_source_t *realSource(obs_source_t *source)
{
    if (source && !obs_obj_get_data(source)) {
        KP_LOG(1, QStringLiteral("source of type %1 has no data.").arg(QLatin1String(obs_source_get_id(source))));
        obs_source_release(source);
        return nullptr;
    }
    return source;
}

obs_source_t *create_slide_source(const char *path)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", path);
    obs_data_set_bool(settings, "unload", true);
    obs_data_set_bool(settings, "kp_wb_hideHandwriting", false);
    // A slide decodes its picture only when it is about to go on air.
    obs_data_set_bool(settings, "active", false);
    obs_source_t *source = obs_source_create_private(kSlideType, nullptr, settings);
    obs_data_release(settings);
    return realSource(source);
}

// Index of the entry showing path, or files.num.
size_t findSlide(slideshow *ss, const char *path)
{
    Locker lock(ss);
    for (size_t i = 0; i < ss->files.num; ++i) {
        if (std::strcmp(ss->files.array[i].path, path) == 0)
            return i;
    }
    return ss->files.num;
}

void add_slide_file(slideshow *ss, const char *path)
{
    if (findSlide(ss, path) < ss->files.num)
        return;
    obs_source_t *source = create_slide_source(path);
    if (!source) {
        KP_LOG(1, QStringLiteral("slide source not created for:%1").arg(QString::fromUtf8(path)));
        return;
    }
    slide_file entry;
    entry.path = static_cast<char *>(bmemdup(path, std::strlen(path) + 1));
    entry.source = source;
    Locker lock(ss);
    da_push_back(ss->files, &entry);
}

// The slideshow's settings reach the slide's own settings (hide handwriting,
// drawing tool, "active"), but "file" always stays the slide's own path: a
// slide never switches to another picture, whether the slideshow's "file" is
// the folder of the first fill or a picture whose slide could not be made.
// Only the slide going on air is "active", and so decodes its picture.
void applyToSlide(const slide_file &slide, obs_data_t *settings)
{
    obs_data_t *own = obs_data_create();
    obs_data_apply(own, settings);
    obs_data_set_string(own, "file", slide.path);
    obs_data_set_bool(own, "active", true);
    obs_source_update(slide.source, own);
    obs_data_release(own);
}

// A slide that was about to go on air and never did lets its picture go.
void releaseSlide(const slide_file &slide)
{
    obs_data_t *own = obs_data_create();
    obs_data_set_bool(own, "active", false);
    obs_source_update(slide.source, own);
    obs_data_release(own);
}

void setTransitionLayout(obs_source_t *transition)
{
    obs_transition_set_alignment(transition, kAlignTopLeft);
    obs_transition_set_scale_type(transition, OBS_TRANSITION_SCALE_ASPECT);
}

// Swaps in a new transition under the lock.
obs_source_t *swapTransition(slideshow *ss, obs_source_t *fresh)
{
    Locker lock(ss);
    return std::exchange(ss->transition, fresh);
}

// A new transition starts from the picture on air: a fresh transition alone
// has no outgoing side, so the switch would fade or swipe in from nothing.
void takeOver(obs_source_t *fresh, obs_source_t *old)
{
    obs_source_t *onAir = old ? obs_transition_get_active_source(old) : nullptr;
    if (onAir)
        obs_transition_set(fresh, onAir);
    obs_source_release(onAir);
}

// The slideshow keeps every transition it made, one per row, until it goes:
// one that is no longer in use only stops being its active child.
void dropTransition(slideshow *ss, obs_source_t *old)
{
    if (old)
        obs_source_remove_active_child(ss->source, old);
}

obs_source_t *newTransitionIfChanged(slideshow *ss, const TransitionRow &row)
{
    if (ss->tr_name && std::strcmp(ss->tr_name, row.name) == 0)
        return nullptr;
    KP_LOG(1, QStringLiteral("new transition type: %1").arg(QLatin1String(row.id)));
    obs_source_t *&kept = ss->transitions[&row - kTransitions];
    if (!kept) {
        kept = realSource(obs_source_create_private(row.id, nullptr, nullptr));
        if (!kept) {
            // Not remembered as in use, so that the next update tries again.
            KP_LOG(1, QStringLiteral("transition not created: %1").arg(QLatin1String(row.id)));
            return nullptr;
        }
        if (row.direction) {
            obs_data_t *direction = obs_data_create();
            obs_data_set_string(direction, "direction", row.direction);
            obs_source_update(kept, direction);
            obs_data_release(direction);
        }
    }
    ss->tr_name = row.name;
    return kept;
}

void startTransition(slideshow *ss, obs_source_t *target)
{
    if (ss->transition)
        obs_transition_start(ss->transition, OBS_TRANSITION_MODE_AUTO, ss->tr_duration, target);
}

// The switch to a slide waits, on the video ticks, until its picture is
// decoded: the picture on air stays until then. A later switch replaces a
// waiting one, and the slide it passed over lets its picture go.
void switchWhenReady(slideshow *ss, size_t index, bool resize)
{
    if (ss->pending != kNoSlide && ss->pending != index)
        releaseSlide(ss->files.array[ss->pending]);
    ss->pending = index;
    ss->pending_resize = resize;
    ss->pending_ticks = 0;
}

bool slideSettled(const slide_file &slide)
{
    return kp_image_source_settled(obs_obj_get_data(slide.source));
}

void finishSwitch(slideshow *ss)
{
    if (ss->pending == kNoSlide)
        return;
    const slide_file &slide = ss->files.array[ss->pending];
    if (!slideSettled(slide) && ++ss->pending_ticks < kMaxSwitchWait)
        return;
    KP_LOG(1, QStringLiteral("transition start."));
    if (ss->transition && ss->pending_resize) {
        obs_transition_set_size(ss->transition, obs_source_get_width(slide.source),
                                obs_source_get_height(slide.source));
    }
    startTransition(ss, slide.source);
    KP_LOG(1, QStringLiteral("transition end."));
    ss->pending = kNoSlide;
}

// The canvas is the largest size the pictures' headers claim: slides
// decode nothing until they go on air.
void firstFill(slideshow *ss, obs_data_t *settings, const KPFolderScan &scan, obs_source_t *fresh)
{
    KP_LOG(1, QStringLiteral("files.num < 1"));
    uint32_t width = 0;
    uint32_t height = 0;
    if (scan.isFolder()) {
        bfree(ss->folder);
        ss->folder = bstrdup(scan.file().constData());
    }
    for (const KPFolderScan::Picture &picture : scan.pictures()) {
        add_slide_file(ss, picture.path.constData());
        width = std::max(width, picture.width);
        height = std::max(height, picture.height);
    }

    obs_source_t *old = nullptr;
    {
        Locker lock(ss);
        if (fresh)
            old = std::exchange(ss->transition, fresh);
        if (ss->files.num > 0)
            applyToSlide(ss->files.array[0], settings);
    }
    dropTransition(ss, old);

    ss_custom_size(obs_data_get_string(settings, "use_custom_size"), obs_module_text(kAutoSizeKey),
                   &width, &height);
    {
        Locker lock(ss);
        ss->cur_item = 0;
    }
    if (ss->transition) {
        obs_transition_set_size(ss->transition, width, height);
        setTransitionLayout(ss->transition);
    }
    if (fresh)
        obs_source_add_active_child(ss->source, fresh);
    if (ss->files.num > 0)
        switchWhenReady(ss, 0, false);
}

void showPicture(slideshow *ss, obs_data_t *settings, const char *file)
{
    KP_LOG(1, QStringLiteral("try to find source in mem."));
    const size_t found = findSlide(ss, file);
    if (found < ss->files.num) {
        KP_LOG(1, QStringLiteral("find"));
        {
            Locker lock(ss);
            ss->cur_item = found;
        }
        obs_data_t *own = obs_source_get_settings(ss->files.array[found].source);
        obs_data_set_bool(own, "active", true);
        obs_data_release(own);
    } else {
        KP_LOG(1, QStringLiteral("not find"));
        add_slide_file(ss, file);
        Locker lock(ss);
        ss->cur_item = ss->files.num - 1;
    }
    applyToSlide(ss->files.array[ss->cur_item], settings);
    switchWhenReady(ss, ss->cur_item, true);
}

// After a folder's first fill "file" still names the folder, and a folder is
// never a picture: such a "file" changes the settings, not the picture.
bool isFolder(slideshow *ss, const char *file)
{
    if (ss->folder && std::strcmp(ss->folder, file) == 0)
        return true;
    struct stat info = {};
    return os_stat(file, &info) == 0 && S_ISDIR(info.st_mode);
}

void laterUpdate(slideshow *ss, obs_data_t *settings, const char *file, obs_source_t *fresh)
{
    KP_LOG(1, QStringLiteral("files.num >= 1"));
    if (fresh) {
        obs_source_t *old = swapTransition(ss, fresh);
        takeOver(fresh, old);
        setTransitionLayout(fresh);
        obs_source_add_active_child(ss->source, fresh);
        dropTransition(ss, old);
    }
    const slide_file &current = ss->files.array[ss->cur_item];
    const int cmp = std::strcmp(current.path, file);
    KP_LOG(1, QStringLiteral("ss->files.array[ss->cur_item].path: %1, curFile:%2,cmp:%3")
                  .arg(QString::fromUtf8(current.path), QString::fromUtf8(file))
                  .arg(cmp));
    if (cmp != 0 && !isFolder(ss, file)) {
        showPicture(ss, settings, file);
        return;
    }
    if (fresh)
        KP_LOG(1, QStringLiteral("file not changed."));
    applyToSlide(current, settings);
    // A switch still waiting for this slide's picture starts it itself.
    if (fresh && ss->pending != ss->cur_item)
        startTransition(ss, current.source);
}

// The folder listing and the headers are read on a worker; the fill itself
// happens on the tick that finds the scan finished.
void startFill(slideshow *ss, obs_data_t *settings, const QByteArray &file, obs_source_t *fresh)
{
    ss->scan = new KPFolderScan(file);
    ss->scan_settings = obs_data_create();
    obs_data_apply(ss->scan_settings, settings);
    ss->scan_fresh = fresh;
}

void finishFill(slideshow *ss)
{
    const std::unique_ptr<KPFolderScan> scan(std::exchange(ss->scan, nullptr));
    obs_data_t *settings = std::exchange(ss->scan_settings, nullptr);
    firstFill(ss, settings, *scan, std::exchange(ss->scan_fresh, nullptr));
    obs_data_release(settings);
    if (obs_data_t *later = std::exchange(ss->later_settings, nullptr)) {
        ss_update(ss, later);
        obs_data_release(later);
    }
}

QString folderOf(const char *path)
{
    QString folder = QString::fromUtf8(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : folder.left(slash + 1);
}

// The folder of entry index (last or current), read under the lock.
QByteArray defaultFolder(slideshow *ss, bool last)
{
    if (!ss)
        return QByteArray();
    Locker lock(ss);
    if (ss->files.num == 0)
        return QByteArray();
    const size_t index = last ? ss->files.num - 1 : ss->cur_item;
    return folderOf(ss->files.array[index].path).toUtf8();
}

const char *orNull(const QByteArray &text)
{
    return text.isEmpty() ? nullptr : text.constData();
}

void addTransitionList(obs_properties_t *properties)
{
    obs_property_t *list = obs_properties_add_list(properties, "transition",
                                                   obs_module_text("SlideShow.Transition"),
                                                   OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(list, obs_module_text("SlideShow.Transition.Cut"), "cut");
    obs_property_list_add_string(list, obs_module_text("SlideShow.Transition.Fade"), "fade");
    obs_property_list_add_string(list, "swipe to left", "swipe_to_left");
    obs_property_list_add_string(list, "swipe to right", "swipe_to_right");
    obs_property_list_add_string(list, "slide to left", "slide_to_left");
    obs_property_list_add_string(list, "slide to right", "slide_to_right");
}

void addCustomSizeList(obs_properties_t *properties)
{
    obs_video_info video = {};
    obs_get_video_info(&video);
    obs_property_t *list = obs_properties_add_list(properties, "use_custom_size",
                                                   obs_module_text("SlideShow.CustomSize"),
                                                   OBS_COMBO_TYPE_EDITABLE, OBS_COMBO_FORMAT_STRING);
    const char *automatic = obs_module_text(kAutoSizeKey);
    obs_property_list_add_string(list, automatic, automatic);
    for (const char *ratio : {"16:9", "16:10", "4:3", "1:1"})
        obs_property_list_add_string(list, ratio, ratio);
    const QByteArray canvas = QStringLiteral("%1x%2").arg(video.base_width).arg(video.base_height).toUtf8();
    obs_property_list_add_string(list, canvas.constData(), canvas.constData());
}

} // namespace

bool is_image_extension(const char *ext)
{
    if (!ext)
        return false;
    for (const char *known : {".bmp", ".tga", ".png", ".jpeg", ".jpg", ".gif"}) {
        if (strcasecmp(ext, known) == 0)
            return true;
    }
    return false;
}

namespace {

// Two positive decimal numbers around one separator ("1280x720", "16:9").
bool readPair(const char *text, char separator, qint64 *first, qint64 *second)
{
    const QList<QByteArray> parts = QByteArray(text).split(separator);
    if (parts.size() != 2)
        return false;
    bool firstOk = false;
    bool secondOk = false;
    *first = parts[0].trimmed().toLongLong(&firstOk);
    *second = parts[1].trimmed().toLongLong(&secondOk);
    return firstOk && secondOk;
}

bool fitsCanvas(double side)
{
    return side >= 1.0 && side <= kMaxCanvasSide;
}

} // namespace

void ss_custom_size(const char *customSize, const char *automatic, uint32_t *width,
                    uint32_t *height)
{
    if (!customSize || (automatic && std::strcmp(customSize, automatic) == 0))
        return;
    const QString text = QString::fromUtf8(customSize);
    qint64 first = 0;
    qint64 second = 0;
    if (readPair(customSize, 'x', &first, &second)) {
        if (fitsCanvas(double(first)) && fitsCanvas(double(second))) {
            *width = static_cast<uint32_t>(first);
            *height = static_cast<uint32_t>(second);
        } else {
            KP_LOG(1, QStringLiteral("custom size out of range:%1").arg(text));
        }
        return;
    }
    if (!readPair(customSize, ':', &first, &second))
        return;
    if (first <= 0 || second <= 0 || *width == 0 || *height == 0) {
        KP_LOG(1, QStringLiteral("aspect ratio not applied:%1").arg(text));
        return;
    }
    // In double, so that no ratio overflows on its way to a side; a side
    // beyond any texture would take the host down in the graphics driver.
    const double oldAspect = double(*width) / double(*height);
    const double newAspect = double(first) / double(second);
    if (std::fabs(oldAspect - newAspect) <= 0.0001)
        return;
    const double newWidth = double(*height) * double(first) / double(second);
    const double newHeight = double(*width) * double(second) / double(first);
    const bool widen = newAspect > oldAspect;
    if (!fitsCanvas(widen ? newWidth : newHeight)) {
        KP_LOG(1, QStringLiteral("custom size out of range:%1").arg(text));
        return;
    }
    if (widen)
        *width = static_cast<uint32_t>(newWidth);
    else
        *height = static_cast<uint32_t>(newHeight);
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
    auto *ss = static_cast<slideshow *>(bzalloc(sizeof(slideshow)));
    ss->source = source;
    ss->pending = kNoSlide;
    if (pthread_mutex_init(&ss->mutex, nullptr) != 0) {
        KP_LOG(1, QStringLiteral("slideshow mutex init failed."));
        bfree(ss);
        return nullptr;
    }
    obs_source_update(source, nullptr);
    // The slides are private sources, which libobs gives no hotkeys: the
    // slideshow carries them and passes them on as it passes commands on.
    KPBoardHotkeys::attach(ss, source, [ss, source](KPBoardHotkeys::Action action) {
        switch (action) {
        case KPBoardHotkeys::Action::Undo: ss_image_do_custom_callback(ss, 1, nullptr); break;
        case KPBoardHotkeys::Action::Redo: ss_image_do_custom_callback(ss, 2, nullptr); break;
        case KPBoardHotkeys::Action::Clear: ss_image_do_custom_callback(ss, 3, nullptr); break;
        case KPBoardHotkeys::Action::ToggleHandwriting:
            KPBoardHotkeys::toggleSetting(source, "kp_wb_hideHandwriting");
            break;
        }
    });
    KPSlideshowNavigator::attach(ss, source, {[ss] { return onAirPath(ss); }, [ss] { return shownPaths(ss); }});
    return ss;
}

void ss_destroy(void *data)
{
    KP_LOG_SCOPE();
    slideshow *ss = slideshowOf(data);
    if (!ss)
        return;
    KPBoardHotkeys::detach(ss);
    KPSlideshowNavigator::detach(ss);
    delete ss->scan;
    obs_data_release(ss->scan_settings);
    obs_data_release(ss->later_settings);
    for (obs_source_t *transition : ss->transitions)
        obs_source_release(transition);
    bfree(ss->folder);
    for (size_t i = 0; i < ss->files.num; ++i) {
        bfree(ss->files.array[i].path);
        obs_source_release(ss->files.array[i].source);
    }
    da_free(ss->files);
    pthread_mutex_destroy(&ss->mutex);
    bfree(ss);
}

void ss_defaults(obs_data_t *settings)
{
    KP_LOG_SCOPE();
    obs_data_set_default_string(settings, "transition", "cut");
    obs_data_set_default_int(settings, "slide_time", 8000);
    obs_data_set_default_int(settings, "transition_speed", 100);
    obs_data_set_default_string(settings, "use_custom_size", obs_module_text(kAutoSizeKey));
    // Every slide is an image source: its defaults reach the slides through
    // the update pass-through.
    kp_image_source_defaults(settings);
}

obs_properties_t *ss_properties(void *data)
{
    KP_LOG_SCOPE();
    slideshow *ss = static_cast<slideshow *>(data);
    obs_properties_t *properties = obs_properties_create();
    addTransitionList(properties);
    obs_properties_add_int(properties, "slide_time", obs_module_text("SlideShow.SlideTime"), 50,
                           3600000, 50);
    obs_properties_add_int(properties, "transition_speed",
                           obs_module_text("SlideShow.TransitionSpeed"), 0, 3600000, 50);
    obs_properties_add_bool(properties, "randomize", obs_module_text("SlideShow.Randomize"));
    addCustomSizeList(properties);
    const QByteArray listFolder = defaultFolder(ss, true);
    obs_properties_add_editable_list(properties, "c_data_name_file_list",
                                     obs_module_text("SlideShow.Files"),
                                     OBS_EDITABLE_LIST_TYPE_FILES, kFileListFilter, orNull(listFolder));
    const QByteArray fileFolder = defaultFolder(ss, false);
    obs_properties_add_path(properties, "file", obs_module_text("File"), OBS_PATH_FILE, kImageFilter,
                            orNull(fileFolder));
    KPAnnotationExporter::addProperties(properties, ss ? ss->source : nullptr);
    return properties;
}

void ss_update(void *data, obs_data_t *live)
{
    slideshow *ss = slideshowOf(data);
    if (!ss || !live)
        return;
    if (ss->scan) {
        // A first fill is being prepared: the newest settings wait for it.
        obs_data_release(ss->later_settings);
        ss->later_settings = obs_data_create();
        obs_data_apply(ss->later_settings, live);
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
        const TransitionRow &row = transitionRow(name.constData());
        ss->tr_duration = row.duration;
        KP_LOG(1, QStringLiteral("direction is:%1").arg(QLatin1String(row.direction)));
        obs_source_t *fresh = newTransitionIfChanged(ss, row);
        if (ss->files.num == 0)
            startFill(ss, settings, file, fresh);
        else
            laterUpdate(ss, settings, file.constData(), fresh);
    }
    obs_data_release(settings);
}

void ss_video_tick(void *data, float)
{
    slideshow *ss = static_cast<slideshow *>(data);
    if (!ss)
        return;
    if (ss->scan && ss->scan->finished())
        finishFill(ss);
    finishSwitch(ss);
}

void ss_video_render(void *data, gs_effect_t *)
{
    slideshow *ss = static_cast<slideshow *>(data);
    if (!ss)
        return;
    obs_source_t *transition = nullptr;
    {
        Locker lock(ss);
        transition = obs_source_get_ref(ss->transition);
    }
    if (!transition)
        return;
    obs_source_video_render(transition);
    obs_source_release(transition);
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
    slideshow *ss = static_cast<slideshow *>(data);
    if (!ss)
        return;
    Locker lock(ss);
    if (ss->transition)
        callback(ss->source, ss->transition, param);
}

uint32_t ss_width(void *data)
{
    obs_source_t *slide = currentSlide(static_cast<slideshow *>(data));
    const uint32_t width = slide ? obs_source_get_width(slide) : 0;
    obs_source_release(slide);
    return width;
}

uint32_t ss_height(void *data)
{
    obs_source_t *slide = currentSlide(static_cast<slideshow *>(data));
    const uint32_t height = slide ? obs_source_get_height(slide) : 0;
    obs_source_release(slide);
    return height;
}

void ss_mouse_click(void *data, const obs_mouse_event *event, int32_t type, bool mouseUp,
                    uint32_t clickCount)
{
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        obs_source_send_mouse_click(slide, event, type, mouseUp, clickCount);
        obs_source_release(slide);
    }
}

void ss_mouse_move(void *data, const obs_mouse_event *event, bool mouseLeave)
{
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        obs_source_send_mouse_move(slide, event, mouseLeave);
        obs_source_release(slide);
    }
}

void ss_mouse_wheel(void *data, const obs_mouse_event *event, int xDelta, int yDelta)
{
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        obs_source_send_mouse_wheel(slide, event, xDelta, yDelta);
        obs_source_release(slide);
    }
}

void ss_image_focus(void *data, bool focus)
{
    KP_LOG_SCOPE();
    KP_LOG(1, QStringLiteral("ss_image_focus focus:%1").arg(focus ? 1 : 0));
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        obs_source_send_focus(slide, focus);
        obs_source_release(slide);
    }
}

void ss_image_key_click(void *data, const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        obs_source_send_key_click(slide, event, keyUp);
        obs_source_release(slide);
    }
}

void ss_image_status(void *data, obs_data_t *status)
{
    KP_LOG_SCOPE();
    slideshow *ss = slideshowOf(data);
    if (!ss)
        return;
    size_t count = 0;
    size_t current = 0;
    {
        Locker lock(ss);
        count = ss->files.num;
        current = ss->cur_item;
    }
    KP_LOG(1, QStringLiteral("ss->files.num :%1, ss->cur_item:%2").arg(count).arg(current));
    if (obs_source_t *slide = currentSlide(ss)) {
        // The host keeps the slide's status record; it is merged, not released.
        if (status)
            obs_data_apply(status, kp_obs_get_source_status(slide));
        obs_source_release(slide);
    }
    KPAnnotationExporter::addStatus(ss->source, status);
}

void ss_image_do_custom_callback(void *data, int command, obs_data_t *settings)
{
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        kp_obs_custom_callback(slide, command, settings);
        obs_source_release(slide);
    }
}

void ss_image_tablet_event(void *data, void *event)
{
    if (obs_source_t *slide = currentSlide(static_cast<slideshow *>(data))) {
        kp_tablet_event(slide, event);
        obs_source_release(slide);
    }
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
}
