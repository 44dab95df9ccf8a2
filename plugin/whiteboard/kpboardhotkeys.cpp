#include "kpboardhotkeys.h"

#include "kplog.h"

#include <obs-module.h>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QString>

namespace {

constexpr KPBoardHotkeys::Action kActions[] = {
    KPBoardHotkeys::Action::Undo,
    KPBoardHotkeys::Action::Redo,
    KPBoardHotkeys::Action::Clear,
    KPBoardHotkeys::Action::ToggleHandwriting,
};

QMutex g_attachedMutex;
QHash<const void *, KPBoardHotkeys *> g_attached;

} // namespace

void KPBoardHotkeys::attach(const void *holder, obs_source_t *source, Handler handler)
{
    auto *hotkeys = new KPBoardHotkeys(source, std::move(handler));
    QMutexLocker locker(&g_attachedMutex);
    delete g_attached.take(holder);
    g_attached.insert(holder, hotkeys);
}

void KPBoardHotkeys::detach(const void *holder)
{
    QMutexLocker locker(&g_attachedMutex);
    delete g_attached.take(holder);
}

KPBoardHotkeys::KPBoardHotkeys(obs_source_t *source, Handler handler) : m_handler(std::move(handler))
{
    for (int i = 0; i < 4; ++i) {
        Binding &binding = m_bindings[i];
        binding.owner = this;
        binding.action = kActions[i];
        binding.id = OBS_INVALID_HOTKEY_ID;
        if (source && m_handler) {
            const char *hotkey = name(binding.action);
            binding.id = obs_hotkey_register_source(source, hotkey, obs_module_text(hotkey), &KPBoardHotkeys::fire,
                                                    &binding);
        }
    }
}

KPBoardHotkeys::~KPBoardHotkeys()
{
    for (const Binding &binding : m_bindings) {
        if (binding.id != OBS_INVALID_HOTKEY_ID)
            obs_hotkey_unregister(binding.id);
    }
}

const char *KPBoardHotkeys::name(Action action)
{
    switch (action) {
    case Action::Undo: return "kp_wb_hotkey_undo";
    case Action::Redo: return "kp_wb_hotkey_redo";
    case Action::Clear: return "kp_wb_hotkey_clear";
    case Action::ToggleHandwriting: return "kp_wb_hotkey_hideHandwriting";
    }
    return "";
}

void KPBoardHotkeys::toggleSetting(obs_source_t *source, const char *key)
{
    obs_data_t *settings = obs_source_get_settings(source);
    if (!settings)
        return;
    obs_data_t *change = obs_data_create();
    obs_data_set_bool(change, key, !obs_data_get_bool(settings, key));
    obs_source_update(source, change);
    obs_data_release(change);
    obs_data_release(settings);
}

void KPBoardHotkeys::fire(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
    auto *binding = static_cast<Binding *>(data);
    if (!binding || !pressed)
        return;
    KP_LOG(2, QStringLiteral(" hotkey=%1").arg(QLatin1String(name(binding->action))));
    binding->owner->m_handler(binding->action);
}
