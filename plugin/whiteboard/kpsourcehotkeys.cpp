#include "kpsourcehotkeys.h"

#include "kplog.h"

#include <obs-module.h>

#include <QMultiHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_attachedMutex;
QMultiHash<const void *, KPSourceHotkeys *> g_attached;

} // namespace

KPSourceHotkeys::KPSourceHotkeys(obs_source_t *source) : m_source(source) {}

KPSourceHotkeys::~KPSourceHotkeys()
{
    for (const Binding &binding : m_bindings)
        obs_hotkey_unregister(binding.id);
}

void KPSourceHotkeys::add(const char *name, Press press)
{
    if (!m_source || !press)
        return;
    m_bindings.push_back({name, std::move(press), OBS_INVALID_HOTKEY_ID});
    Binding &binding = m_bindings.back();
    binding.id = obs_hotkey_register_source(m_source, name, obs_module_text(name), &KPSourceHotkeys::fire, &binding);
    if (binding.id == OBS_INVALID_HOTKEY_ID)
        m_bindings.pop_back();
}

void KPSourceHotkeys::attach(const void *holder, std::unique_ptr<KPSourceHotkeys> keys)
{
    QMutexLocker locker(&g_attachedMutex);
    g_attached.insert(holder, keys.release());
}

void KPSourceHotkeys::detach(const void *holder)
{
    QList<KPSourceHotkeys *> sets;
    {
        QMutexLocker locker(&g_attachedMutex);
        sets = g_attached.values(holder);
        g_attached.remove(holder);
    }
    qDeleteAll(sets);
}

void KPSourceHotkeys::fire(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
    auto *binding = static_cast<Binding *>(data);
    if (!binding || !pressed)
        return;
    KP_LOG(2, QStringLiteral(" hotkey=%1").arg(QLatin1String(binding->name)));
    binding->press();
}
