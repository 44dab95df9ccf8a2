#include "kprtcoutput.h"

#include "kplog.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <cstring>

using namespace vendor::rtc;

namespace {

// The engine asks for an app id of the vendor's form; rooms on a Janus
// server do not use it.
const char kAppId[] = "6b7072746300000000000000006c6976";
constexpr int kAudioRate = 48000;
constexpr int kAudioChannels = 2;

// Set on an engine thread while it tells libobs the output stopped: a stop
// that libobs calls back from there must not release the engine whose
// thread it runs on.
thread_local bool t_signalling = false;

long long milliseconds(uint64_t nanoseconds)
{
    return static_cast<long long>(nanoseconds / 1000000);
}

// The engine of the environment's choice, the real one unless it says otherwise.
IRtcEngine *newEngine()
{
    const char *chosen = std::getenv("VENDOR_RTC_ENGINE");
    return createRtcEngineNamed(chosen && *chosen ? chosen : "janus");
}

QByteArray engineParameters(const KPRtcOutputSettings &settings)
{
    QJsonObject parameters;
    parameters.insert(QStringLiteral("rtc.janus.url"), settings.server);
    parameters.insert(QStringLiteral("rtc.video.bitrate_kbps"), settings.bitrateKbps);
    parameters.insert(QStringLiteral("rtc.video.frame_rate"), settings.fps);
    parameters.insert(QStringLiteral("rtc.video.codec"), settings.codec);
    return QJsonDocument(parameters).toJson(QJsonDocument::Compact);
}

} // namespace

KPRtcOutput::KPRtcOutput(obs_output_t *output) : m_output(output)
{
    proc_handler_add(obs_output_get_proc_handler(output),
                     "void kp_rtc_status(out string state, out int bitrate_kbps, out int fps, out int dropped_frames)",
                     [](void *self, calldata_t *data) { static_cast<const KPRtcOutput *>(self)->status(data); }, this);
}

void KPRtcOutput::status(calldata_t *data) const
{
    State state = State::Idle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        state = m_state;
    }
    const bool live = state == State::Live;
    const char *name = "stopped";
    if (state == State::Connecting)
        name = "connecting";
    else if (live)
        name = m_reconnecting ? "reconnecting" : "live";
    else if (state == State::Failed)
        name = "failed";
    calldata_set_string(data, "state", name);
    calldata_set_int(data, "bitrate_kbps", live ? m_sentKbps.load() : 0);
    calldata_set_int(data, "fps", live ? m_sentFps.load() : 0);
    calldata_set_int(data, "dropped_frames", m_droppedFrames.load());
}

KPRtcOutput::~KPRtcOutput()
{
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        running = m_state == State::Connecting || m_state == State::Live;
    }
    if (running)
        stop();
    releaseEngine();
}

bool KPRtcOutput::start()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state == State::Connecting || m_state == State::Live) {
            KP_LOG(1, QStringLiteral("kp_rtc_output: started while already going live; ignored."));
            obs_output_set_last_error(m_output, "the output is already going live");
            return false;
        }
    }
    releaseEngine(); // of a start that failed
    obs_data_t *data = obs_output_get_settings(m_output);
    obs_video_info video = {};
    const bool canvas = obs_get_video_info(&video);
    const KPRtcOutputSettings settings =
        KPRtcOutputSettings::read(data, canvas ? int(video.base_width) : 0, canvas ? int(video.base_height) : 0);
    obs_data_release(data);
    if (!canvas || settings.channel.isEmpty()) {
        const char *reason = canvas ? "no channel is set" : "the host has no video";
        KP_LOG(1, QStringLiteral("kp_rtc_output: cannot go live: %1.").arg(QLatin1String(reason)));
        obs_output_set_last_error(m_output, reason);
        return false;
    }
    if (!configureCapture(settings) || !createEngine(settings))
        return false;
    const QByteArray token = settings.token.toUtf8();
    const QByteArray channel = settings.channel.toUtf8();
    IRtcEngine *engine = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        engine = m_engine;
        m_state = State::Connecting;
        m_everJoined = false;
    }
    // Capture begins at once, so that libobs counts the output active and
    // hands a stop while joining to stop(); frames go out from the join on.
    const bool capturing = obs_output_begin_data_capture(m_output, captureFlags());
    const int joined = capturing ? engine->joinChannel(token.constData(), channel.constData(), nullptr, settings.uid) : 0;
    if (!capturing || joined != 0) {
        const QString reason = capturing ? QStringLiteral("the channel \"%1\" cannot be joined (error %2)").arg(settings.channel).arg(joined)
                                         : QStringLiteral("libobs does not hand over its frames");
        KP_LOG(1, QStringLiteral("kp_rtc_output: cannot go live: %1.").arg(reason));
        obs_output_set_last_error(m_output, reason.toUtf8().constData());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_state = State::Idle;
        }
        if (capturing)
            obs_output_end_data_capture(m_output);
        releaseEngine();
        return false;
    }
    KP_LOG(1, QStringLiteral("kp_rtc_output: joining \"%1\" on %2 at %3x%4, %5 fps, %6 kbit/s, %7.")
                  .arg(settings.channel, settings.server)
                  .arg(settings.width)
                  .arg(settings.height)
                  .arg(settings.fps)
                  .arg(settings.bitrateKbps)
                  .arg(settings.codec));
    return true;
}

// libobs scales and converts the canvas for this output alone.
bool KPRtcOutput::configureCapture(const KPRtcOutputSettings &settings)
{
    video_scale_info scale = {};
    scale.format = VIDEO_FORMAT_I420;
    scale.width = uint32_t(settings.width);
    scale.height = uint32_t(settings.height);
    scale.range = VIDEO_RANGE_DEFAULT;
    scale.colorspace = VIDEO_CS_DEFAULT;
    obs_output_set_video_conversion(m_output, &scale);
    audio_convert_info audio = {};
    audio.samples_per_sec = kAudioRate;
    audio.format = AUDIO_FORMAT_16BIT;
    audio.speakers = SPEAKERS_STEREO;
    obs_output_set_audio_conversion(m_output, &audio);
    m_width = settings.width;
    m_height = settings.height;
    if (!obs_output_can_begin_data_capture(m_output, captureFlags())) {
        KP_LOG(1, QStringLiteral("kp_rtc_output: libobs cannot hand this output its frames."));
        obs_output_set_last_error(m_output, "libobs cannot hand the output its frames");
        return false;
    }
    return true;
}

// A host that never set up audio still sends its picture.
uint32_t KPRtcOutput::captureFlags()
{
    return obs_get_audio() ? OBS_OUTPUT_AV : OBS_OUTPUT_VIDEO;
}

bool KPRtcOutput::createEngine(const KPRtcOutputSettings &settings)
{
    IRtcEngine *engine = newEngine();
    RtcEngineContext context;
    context.eventHandler = this;
    context.appId = kAppId;
    int result = engine->initialize(context);
    IRtcEngineParameter *parameter = nullptr;
    if (result == 0)
        result = engine->setClientRole(CLIENT_ROLE_BROADCASTER);
    if (result == 0)
        result = engine->queryInterface(INTERFACE_ID_PARAMETER, reinterpret_cast<void **>(&parameter));
    if (result == 0 && parameter) {
        result = parameter->setParameters(engineParameters(settings).constData());
        parameter->release();
    }
    if (result == 0)
        result = engine->setExternalVideoSource(true);
    if (result != 0) {
        KP_LOG(1, QStringLiteral("kp_rtc_output: the RTC engine does not start (error %1); is \"%2\" a server's address?")
                      .arg(result)
                      .arg(settings.server));
        obs_output_set_last_error(m_output, "the RTC engine does not start");
        engine->release(true);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engine = engine;
    m_pushTo = engine;
    return true;
}

void KPRtcOutput::stop()
{
    State was = State::Idle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        was = m_state;
        if (was == State::Connecting || was == State::Live)
            m_state = State::Idle;
    }
    m_joined = false;
    if (was == State::Idle || was == State::Failed)
        KP_LOG(1, QStringLiteral("kp_rtc_output: stopped while not live."));
    else
        KP_LOG(1, QStringLiteral("kp_rtc_output: stops going live."));
    // Ends the raw callbacks (and tells libobs the output stopped) before the
    // engine they push to goes.
    obs_output_end_data_capture(m_output);
    if (!t_signalling)
        releaseEngine();
}

void KPRtcOutput::releaseEngine()
{
    IRtcEngine *engine = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state == State::Connecting || m_state == State::Live)
            return;
        engine = m_engine;
        m_engine = nullptr;
    }
    {
        // Held only while no push runs: waits for one at most.
        std::unique_lock<std::shared_mutex> lock(m_pushMutex);
        m_pushTo = nullptr;
    }
    if (!engine)
        return;
    engine->leaveChannel();
    engine->release(true);
}

void KPRtcOutput::pushVideo(const video_data *frame)
{
    std::shared_lock<std::shared_mutex> lock(m_pushMutex);
    if (!frame || !m_pushTo || !m_joined)
        return;
    const size_t width = size_t(m_width);
    const size_t height = size_t(m_height);
    m_frame.resize(width * height * 3 / 2);
    uint8_t *to = m_frame.data();
    // Y at full size, then U and V at half width and height, rows packed.
    for (int plane = 0; plane < 3; ++plane) {
        const size_t rows = plane ? height / 2 : height;
        const size_t bytes = plane ? width / 2 : width;
        for (size_t y = 0; y < rows; ++y, to += bytes)
            std::memcpy(to, frame->data[plane] + y * frame->linesize[plane], bytes);
    }
    const ExternalVideoFrame pushed{VIDEO_PIXEL_I420, m_frame.data(), int(width), int(height), 0,
                                    milliseconds(frame->timestamp)};
    m_pushTo->pushVideoFrame(pushed);
}

void KPRtcOutput::pushAudio(const audio_data *frames)
{
    std::shared_lock<std::shared_mutex> lock(m_pushMutex);
    if (!frames || !m_pushTo || !m_joined || !frames->data[0])
        return;
    const AudioFrame pushed{frames->data[0], int(frames->frames), kAudioChannels, kAudioRate, milliseconds(frames->timestamp)};
    m_pushTo->pushAudioFrame(pushed);
}

void KPRtcOutput::onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state != State::Connecting)
            return;
        m_state = State::Live;
        m_everJoined = true;
    }
    m_connectMs = elapsed;
    m_joined = true;
    KP_LOG(1, QStringLiteral("kp_rtc_output: live in \"%1\" as %2 after %3 ms.")
                  .arg(QString::fromUtf8(channel ? channel : ""))
                  .arg(uid)
                  .arg(elapsed));
}

void KPRtcOutput::onError(int err, const char *msg)
{
    const QString reason = QString::fromUtf8(msg ? msg : "");
    bool everJoined = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        everJoined = m_everJoined;
    }
    if (err == ERR_INVALID_TOKEN || err == ERR_TOKEN_EXPIRED)
        failWith(OBS_OUTPUT_INVALID_STREAM, QStringLiteral("the server refused the token: ") + reason);
    else if (err == ERR_JOIN_CHANNEL_REJECTED)
        failWith(OBS_OUTPUT_CONNECT_FAILED, QStringLiteral("the server refused the join: ") + reason);
    else if (!everJoined)
        failWith(OBS_OUTPUT_CONNECT_FAILED, QStringLiteral("the server cannot be reached: ") + reason);
    else
        KP_LOG(1, QStringLiteral("kp_rtc_output: %1 (error %2); the engine keeps trying.").arg(reason).arg(err));
}

void KPRtcOutput::onConnectionStateChanged(CONNECTION_STATE_TYPE state, CONNECTION_CHANGED_REASON_TYPE reason)
{
    m_reconnecting = state == CONNECTION_STATE_RECONNECTING;
    if (state == CONNECTION_STATE_RECONNECTING)
        KP_LOG(1, QStringLiteral("kp_rtc_output: the connection was lost; reconnecting (reason %1).").arg(reason));
    else if (state == CONNECTION_STATE_FAILED)
        failWith(OBS_OUTPUT_CONNECT_FAILED, QStringLiteral("the connection failed (reason %1)").arg(reason));
}

void KPRtcOutput::onRejoinChannelSuccess(const char *, uid_t, int elapsed)
{
    m_reconnecting = false;
    KP_LOG(1, QStringLiteral("kp_rtc_output: reconnected after %1 ms.").arg(elapsed));
}

void KPRtcOutput::onRtcStats(const RtcStats &stats)
{
    m_sentBytes = stats.txBytes;
    m_sentKbps = stats.txKBitRate;
}

void KPRtcOutput::onLocalVideoStats(const LocalVideoStats &stats)
{
    m_droppedFrames = stats.droppedFrames;
    m_sentFps = stats.sentFrameRate;
}

// The first failure stops the output; what follows it is the same failure told again.
void KPRtcOutput::failWith(int code, const QString &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state != State::Connecting && m_state != State::Live)
            return;
        m_state = State::Failed;
    }
    m_joined = false;
    KP_LOG(1, QStringLiteral("kp_rtc_output: stops: %1.").arg(reason));
    obs_output_set_last_error(m_output, reason.toUtf8().constData());
    t_signalling = true;
    obs_output_signal_stop(m_output, code);
    t_signalling = false;
}
