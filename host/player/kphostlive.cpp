#include "kphostlive.h"

#include "kpscenefile.h"

#include <util/base.h>

#include <cstring>

namespace {

const char kOutputName[] = "kp-host studio";

QString lastError(obs_output_t *output)
{
    const char *error = obs_output_get_last_error(output);
    return error && *error ? QString::fromUtf8(error) : QStringLiteral("no reason given");
}

KPHostLive::State stateNamed(const char *name)
{
    static const struct
    {
        const char *name;
        KPHostLive::State state;
    } states[] = {{"connecting", KPHostLive::State::Connecting}, {"live", KPHostLive::State::Live},
                  {"reconnecting", KPHostLive::State::Reconnecting}, {"failed", KPHostLive::State::Failed}};
    for (const auto &entry : states) {
        if (name && std::strcmp(name, entry.name) == 0)
            return entry.state;
    }
    return KPHostLive::State::Stopped;
}

bool findActive(void *found, obs_output_t *output)
{
    if (std::strcmp(obs_output_get_id(output), KPSceneFile::roomOutputType()) != 0 || !obs_output_active(output))
        return true;
    *static_cast<obs_output_t **>(found) = obs_output_get_ref(output);
    return false;
}

} // namespace

KPHostLive::KPHostLive(obs_scene_t *scene) : m_scene(scene) {}

KPHostLive::~KPHostLive()
{
    release();
}

OBSDataAutoRelease KPHostLive::room() const
{
    return KPSceneFile::room(m_scene);
}

void KPHostLive::setRoom(obs_data_t *room)
{
    KPSceneFile::setRoom(m_scene, room);
}

QString KPHostLive::channel() const
{
    OBSDataAutoRelease settings = room();
    return QString::fromUtf8(obs_data_get_string(settings, "channel"));
}

void KPHostLive::adoptActive()
{
    obs_output_t *found = nullptr;
    obs_enum_outputs(&findActive, &found);
    if (!found)
        return;
    m_output = found;
    if (channel().isEmpty()) {
        OBSDataAutoRelease settings = obs_output_get_settings(found);
        setRoom(settings);
    }
}

bool KPHostLive::start()
{
    if (active())
        return true;
    m_startError.clear();
    OBSDataAutoRelease settings = room();
    m_output = obs_output_create(KPSceneFile::roomOutputType(), kOutputName, settings, nullptr);
    if (!m_output) {
        m_startError = QStringLiteral("libobs has no output \"%1\"").arg(QLatin1String(KPSceneFile::roomOutputType()));
        return false;
    }
    if (!obs_output_start(m_output)) {
        m_startError = lastError(m_output);
        blog(LOG_WARNING, "kp-host: the studio does not go live: %s", qPrintable(m_startError));
        return false;
    }
    blog(LOG_INFO, "kp-host: the studio goes live into \"%s\"", qPrintable(channel()));
    return true;
}

void KPHostLive::stop()
{
    if (m_output)
        obs_output_stop(m_output);
}

bool KPHostLive::active() const
{
    return m_output && obs_output_active(m_output);
}

KPHostLive::Status KPHostLive::status() const
{
    Status status;
    if (!m_output && m_startError.isEmpty())
        return status;
    if (!m_startError.isEmpty()) {
        status.state = State::Failed;
        status.error = m_startError;
        return status;
    }
    OBSDataAutoRelease settings = obs_output_get_settings(m_output);
    status.channel = QString::fromUtf8(obs_data_get_string(settings, "channel"));
    calldata_t data;
    calldata_init(&data);
    if (proc_handler_call(obs_output_get_proc_handler(m_output), "kp_rtc_status", &data)) {
        status.state = stateNamed(calldata_string(&data, "state"));
        status.bitrateKbps = int(calldata_int(&data, "bitrate_kbps"));
        status.fps = int(calldata_int(&data, "fps"));
        status.droppedFrames = int(calldata_int(&data, "dropped_frames"));
    } else {
        // An output without the procedure tells only whether it runs.
        status.state = active() ? State::Live : State::Stopped;
    }
    calldata_free(&data);
    if (status.state == State::Failed)
        status.error = lastError(m_output);
    return status;
}

void KPHostLive::release()
{
    stop();
    m_output = nullptr;
}
