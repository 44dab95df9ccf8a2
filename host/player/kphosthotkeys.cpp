#include "kphosthotkeys.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

struct Search
{
    obs_source_t *source;
    QByteArray name;
    obs_hotkey_id found = OBS_INVALID_HOTKEY_ID;
};

bool matchHotkey(void *data, obs_hotkey_id id, obs_hotkey_t *hotkey)
{
    auto *search = static_cast<Search *>(data);
    if (obs_hotkey_get_registerer_type(hotkey) != OBS_HOTKEY_REGISTERER_SOURCE
        || search->name != obs_hotkey_get_name(hotkey))
        return true;
    auto *registerer = static_cast<obs_weak_source_t *>(obs_hotkey_get_registerer(hotkey));
    if (!obs_weak_source_references_source(registerer, search->source))
        return true;
    search->found = id;
    return false;
}

} // namespace

obs_hotkey_id KPHostHotkeys::find(obs_source_t *source, const QString &name)
{
    Search search{source, name.toUtf8()};
    if (source)
        obs_enum_hotkeys(&matchHotkey, &search);
    return search.found;
}

void KPHostHotkeys::fire(obs_hotkey_id id, bool pressed)
{
    routeToHost();
    obs_hotkey_trigger_routed_callback(id, pressed);
}

void KPHostHotkeys::routeToHost()
{
    obs_hotkey_set_callback_routing_func(&KPHostHotkeys::route, nullptr);
    obs_hotkey_enable_callback_rerouting(true);
}

void KPHostHotkeys::route(void *, obs_hotkey_id id, bool pressed)
{
    // libobs holds its hotkey lock here; the hotkey runs once that is released.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [id, pressed] { obs_hotkey_trigger_routed_callback(id, pressed); },
        Qt::QueuedConnection);
}
