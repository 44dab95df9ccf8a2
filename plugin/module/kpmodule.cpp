#include "kpmodule.h"

#include "kpannotationexporter.h"
#include "kpimage.h"
#include "kplivehotkeys.h"
#include "kpobsext.h"
#include "kprtcoutputinfo.h"
#include "kpslideshow.h"
#include "kpwhiteboard.h"

#include <util/text-lookup.h>

namespace {

const char kDefaultLocale[] = "en-US";

obs_module_t *g_module = nullptr;
lookup_t *g_lookup = nullptr;

// The host keeps pointers to these records for the module's lifetime. They are
// zero-initialised here and filled only when the module is loaded.
kp_obs_source_info g_whiteboardInfo;
kp_obs_source_info g_obsoleteImageInfo;
kp_obs_source_info g_singleImageInfo;
kp_obs_source_info g_cloudSlideshowInfo;
kp_obs_source_info g_imageSlideshowInfo;
obs_output_info g_rtcOutputInfo;

void registerRecord(const kp_obs_source_info &info)
{
    kp_obs_register_source(&info, sizeof(info));
}

} // namespace

namespace kpmodule {

void setModuleHandle(obs_module_t *module)
{
    g_module = module;
}

obs_module_t *moduleHandle()
{
    return g_module;
}

void setLocale(const char *locale)
{
    if (g_lookup)
        text_lookup_destroy(g_lookup);
    g_lookup = obs_module_load_locale(g_module, kDefaultLocale, locale);
}

void freeLocale()
{
    // The host's last call into the module: libobs makes it inside
    // obs_shutdown, before it destroys the sources that are left, and an
    // export still holding some must let go of them first.
    KPAnnotationExporter::shutdown();
    KPLiveHotkeys::instance().detach();
    text_lookup_destroy(g_lookup);
    g_lookup = nullptr;
}

void registerSources()
{
    KPAnnotationExporter::reopen();
    // Registration order is fixed: whiteboard, obsolete image module, single
    // image, cloud slideshow, image slideshow.
    kp_fill_whiteboard_info(&g_whiteboardInfo);
    registerRecord(g_whiteboardInfo);
    kp_fill_obsolete_image_info(&g_obsoleteImageInfo);
    registerRecord(g_obsoleteImageInfo);
    kp_fill_single_image_info(&g_singleImageInfo);
    registerRecord(g_singleImageInfo);
    kp_fill_slideshow_info(&g_cloudSlideshowInfo, "kp_clound_source", ss_get_name_cloud);
    registerRecord(g_cloudSlideshowInfo);
    kp_fill_slideshow_info(&g_imageSlideshowInfo, "kp_image_source", ss_get_name_image);
    registerRecord(g_imageSlideshowInfo);
    kp_fill_rtc_output_info(&g_rtcOutputInfo);
    obs_register_output(&g_rtcOutputInfo);
    KPLiveHotkeys::instance().attach(g_module);
}

} // namespace kpmodule

// Every display name and property label goes through here; a key the locale
// lacks (or a missing locale) shows as the key itself.
extern "C" const char *obs_module_text(const char *key)
{
    const char *text = key;
    if (g_lookup)
        text_lookup_getstr(g_lookup, key, &text);
    return text;
}
