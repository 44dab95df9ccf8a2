#include "kprtcoutputinfo.h"

#include "kprtcoutput.h"
#include "kprtcoutputsettings.h"

namespace {

KPRtcOutput *outputOf(void *data)
{
    return static_cast<KPRtcOutput *>(data);
}

const char *getName(void *)
{
    return obs_module_text("RtcOutput");
}

void *create(obs_data_t *, obs_output_t *output)
{
    return output ? new KPRtcOutput(output) : nullptr;
}

void destroy(void *data)
{
    delete outputOf(data);
}

bool start(void *data)
{
    return data && outputOf(data)->start();
}

void stop(void *data, uint64_t)
{
    if (data)
        outputOf(data)->stop();
}

void rawVideo(void *data, video_data *frame)
{
    if (data)
        outputOf(data)->pushVideo(frame);
}

void rawAudio(void *data, audio_data *frames)
{
    if (data)
        outputOf(data)->pushAudio(frames);
}

void getDefaults(obs_data_t *settings)
{
    KPRtcOutputSettings::setDefaults(settings);
}

obs_properties_t *getProperties(void *)
{
    return KPRtcOutputSettings::properties();
}

uint64_t totalBytes(void *data)
{
    return data ? outputOf(data)->totalBytes() : 0;
}

int droppedFrames(void *data)
{
    return data ? outputOf(data)->droppedFrames() : 0;
}

int connectTimeMs(void *data)
{
    return data ? outputOf(data)->connectTimeMs() : 0;
}

} // namespace

void kp_fill_rtc_output_info(obs_output_info *info)
{
    *info = obs_output_info{};
    info->id = "kp_rtc_output";
    // Raw frames only: the host's encoders are the host application's.
    info->flags = OBS_OUTPUT_AV;
    info->get_name = getName;
    info->create = create;
    info->destroy = destroy;
    info->start = start;
    info->stop = stop;
    info->raw_video = rawVideo;
    info->raw_audio = rawAudio;
    info->get_defaults = getDefaults;
    info->get_properties = getProperties;
    info->get_total_bytes = totalBytes;
    info->get_dropped_frames = droppedFrames;
    info->get_connect_time_ms = connectTimeMs;
}
