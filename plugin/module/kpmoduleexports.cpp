// The plug-in's whole exported surface: exactly these five functions.

#include "kpmodule.h"

// obs-module.h declares the other three with default visibility.
MODULE_EXPORT void obs_module_set_pointer(obs_module_t *module);
MODULE_EXPORT uint32_t obs_module_ver(void);

extern "C" {

void obs_module_set_pointer(obs_module_t *module)
{
    kpmodule::setModuleHandle(module);
}

uint32_t obs_module_ver(void)
{
    // Written against libobs API 19.0.3; newer libobs loads it unchanged.
    return 0x13000003;
}

bool obs_module_load(void)
{
    kpmodule::registerSources();
    return true;
}

void obs_module_set_locale(const char *locale)
{
    kpmodule::setLocale(locale);
}

void obs_module_free_locale(void)
{
    kpmodule::freeLocale();
}

} // extern "C"
