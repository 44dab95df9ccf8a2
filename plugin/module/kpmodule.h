#pragma once

// The module-wide state of the plug-in: the host's module handle, the locale
// text lookup and the registration of the source types.

#include <obs-module.h>

namespace kpmodule {

void setModuleHandle(obs_module_t *module);
obs_module_t *moduleHandle();

// Destroys a held lookup before loading the given locale over "en-US".
void setLocale(const char *locale);
void freeLocale();

// Fills the source records and the output record and registers them with
// the host, in order.
void registerSources();

} // namespace kpmodule
