#include "kplivehotkeys.h"

#include "kpfilereader.h"
#include "kplog.h"

#include <obs-module.h>

#include <QByteArray>

const char KPLiveHotkeys::kSettingsFile[] = "live.json";

namespace {

void onGoLive(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
    if (pressed)
        static_cast<KPLiveHotkeys *>(data)->goLive();
}

void onStop(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
    if (pressed)
        static_cast<KPLiveHotkeys *>(data)->stopGoingLive();
}

QString logged(const QString &line)
{
    KP_LOG(1, QStringLiteral("kp_rtc_output hotkeys: %1").arg(line));
    return line;
}

} // namespace

KPLiveHotkeys &KPLiveHotkeys::instance()
{
    static KPLiveHotkeys hotkeys;
    return hotkeys;
}

void KPLiveHotkeys::attach(obs_module_t *module)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_module = module;
    if (m_goLive == OBS_INVALID_HOTKEY_ID)
        m_goLive = obs_hotkey_register_frontend("kp_go_live", obs_module_text("GoLive"), onGoLive, this);
    if (m_stop == OBS_INVALID_HOTKEY_ID)
        m_stop = obs_hotkey_register_frontend("kp_stop_going_live", obs_module_text("StopGoingLive"), onStop, this);
}

void KPLiveHotkeys::detach()
{
    obs_output_t *output = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        output = m_output;
        m_output = nullptr;
        for (obs_hotkey_id *id : {&m_goLive, &m_stop}) {
            if (*id != OBS_INVALID_HOTKEY_ID)
                obs_hotkey_unregister(*id);
            *id = OBS_INVALID_HOTKEY_ID;
        }
        m_module = nullptr;
    }
    // Outside the lock: a stop tells libobs's signal handlers, which may
    // take their own locks.
    if (output) {
        obs_output_force_stop(output);
        obs_output_release(output);
    }
}

void KPLiveHotkeys::goLive()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_module)
        return;
    if (m_output && obs_output_active(m_output)) {
        logged(QStringLiteral("already live; \"Go live\" ignored."));
        return;
    }
    obs_data_t *settings = readSettings();
    if (!settings)
        return;
    if (m_output)
        obs_output_update(m_output, settings);
    else
        m_output = obs_output_create("kp_rtc_output", "kp live", settings, nullptr);
    obs_data_release(settings);
    if (!m_output || !obs_output_start(m_output)) {
        const char *error = m_output ? obs_output_get_last_error(m_output) : nullptr;
        logged(QStringLiteral("cannot go live: %1.").arg(QString::fromUtf8(error ? error : "no output")));
        return;
    }
    logged(QStringLiteral("going live."));
}

void KPLiveHotkeys::stopGoingLive()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_output || !obs_output_active(m_output)) {
        logged(QStringLiteral("not live; \"Stop going live\" ignored."));
        return;
    }
    obs_output_stop(m_output);
}

obs_output_t *KPLiveHotkeys::output()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_output ? obs_output_get_ref(m_output) : nullptr;
}

obs_data_t *KPLiveHotkeys::readSettings() const
{
    char *found = obs_module_get_config_path(m_module, kSettingsFile);
    const QString path = QString::fromUtf8(found ? found : "");
    bfree(found);
    if (path.isEmpty()) {
        logged(QStringLiteral("the host gives the module no configuration folder; cannot go live."));
        return nullptr;
    }
    QByteArray json;
    QString reason;
    if (!KPFileReader::read(path, &json, &reason, kMaxSettingsBytes)) {
        logged(QStringLiteral("no settings to go live with: %1 is not a readable file of at most %2 bytes (%3).")
                   .arg(path)
                   .arg(kMaxSettingsBytes)
                   .arg(reason));
        return nullptr;
    }
    obs_data_t *settings = json.trimmed().startsWith('{') ? obs_data_create_from_json(json.constData()) : nullptr;
    if (!settings)
        logged(QStringLiteral("%1 holds no JSON object; cannot go live.").arg(path));
    return settings;
}
