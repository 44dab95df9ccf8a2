#include "kpslideshow.h"

#include "kpannotationexporter.h"
#include "kpimage.h"
#include "kplog.h"
#include "kppicturefiles.h"

#include <QByteArray>
#include <QString>

#include <obs-module.h>

namespace {

const char kAutoSizeKey[] = "SlideShow.CustomSize.Auto";

// The folder of the last slide added or of the one on air.
QByteArray defaultFolder(const slideshow *ss, bool last)
{
    if (!ss)
        return QByteArray();
    const KPSlideList &slides = ss->slides();
    const QString path = last ? slides.path(slides.count() - 1) : slides.currentPath();
    return KPPictureFiles::folderOf(path).toUtf8();
}

const char *orNull(const QByteArray &text)
{
    return text.isEmpty() ? nullptr : text.constData();
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
    KPSlideTransitions::addList(properties);
    obs_properties_add_int(properties, "slide_time", obs_module_text("SlideShow.SlideTime"), 50,
                           3600000, 50);
    obs_properties_add_int(properties, "transition_speed",
                           obs_module_text("SlideShow.TransitionSpeed"), 0, 3600000, 50);
    obs_properties_add_bool(properties, "randomize", obs_module_text("SlideShow.Randomize"));
    addCustomSizeList(properties);
    const QByteArray listFolder = defaultFolder(ss, true);
    obs_properties_add_editable_list(properties, "c_data_name_file_list",
                                     obs_module_text("SlideShow.Files"),
                                     OBS_EDITABLE_LIST_TYPE_FILES, KPPictureFiles::listFilter(), orNull(listFolder));
    const QByteArray fileFolder = defaultFolder(ss, false);
    obs_properties_add_path(properties, "file", obs_module_text("File"), OBS_PATH_FILE, KPPictureFiles::pathFilter(),
                            orNull(fileFolder));
    KPAnnotationExporter::addProperties(properties, ss ? ss->source() : nullptr);
    return properties;
}

