#pragma once

// The "kp_rtc_output" output: the host's raw video and audio, sent into a
// real-time channel as a broadcaster through the RTC SDK's external source.
//
// start() begins data capture, asks the engine to join and returns at once;
// frames are pushed from the join on (the engine's events thread tells of
// it). A refusal, or a
// server that cannot be reached before the first join, stops the output with
// obs_output_signal_stop; once joined, the engine reconnects by itself and
// the output stays live. The raw callbacks, on libobs's video and audio
// threads, only copy the frame into the output's own buffer and push it: the
// push never waits for the network or the encoder.

#include "kprtcoutputsettings.h"

#include "vendor/rtc/irtcengine.h"

#include <obs.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <vector>

class KPRtcOutput : public vendor::rtc::IRtcEngineEventHandler
{
public:
    explicit KPRtcOutput(obs_output_t *output);
    ~KPRtcOutput() override;

    KPRtcOutput(const KPRtcOutput &) = delete;
    KPRtcOutput &operator=(const KPRtcOutput &) = delete;

    bool start();
    void stop();
    void pushVideo(const video_data *frame);
    void pushAudio(const audio_data *frames);

    // For the host's status line, through the output's procedure
    // "kp_rtc_status": "state" (one of "stopped", "connecting", "live",
    // "reconnecting", "failed"), "bitrate_kbps", "fps" and "dropped_frames".
    void status(calldata_t *data) const;

    // From the engine's latest statistics.
    uint64_t totalBytes() const { return m_sentBytes; }
    int droppedFrames() const { return int(m_droppedFrames); }
    int connectTimeMs() const { return m_connectMs; }

    void onJoinChannelSuccess(const char *channel, vendor::rtc::uid_t uid, int elapsed) override;
    void onRejoinChannelSuccess(const char *channel, vendor::rtc::uid_t uid, int elapsed) override;
    void onError(int err, const char *msg) override;
    void onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_TYPE state,
                                  vendor::rtc::CONNECTION_CHANGED_REASON_TYPE reason) override;
    void onRtcStats(const vendor::rtc::RtcStats &stats) override;
    void onLocalVideoStats(const vendor::rtc::LocalVideoStats &stats) override;

private:
    // Idle: not started, or stopped. Connecting: capturing and joining, no
    // frame sent yet. Live: joined, frames sent. Failed: stopped by a
    // refusal or an unreachable server; the engine waits for the next start
    // or the end to be released, since its own threads cannot release it.
    enum class State { Idle, Connecting, Live, Failed };

    static uint32_t captureFlags();
    bool configureCapture(const KPRtcOutputSettings &settings);
    bool createEngine(const KPRtcOutputSettings &settings);
    // Stops with the code unless already stopped; engine threads only.
    void failWith(int code, const QString &reason);
    void releaseEngine();

    obs_output_t *const m_output;

    // Guarded by m_mutex: the state and the engine. The engine is released
    // only outside it, after data capture has ended.
    mutable std::mutex m_mutex;
    State m_state = State::Idle;
    vendor::rtc::IRtcEngine *m_engine = nullptr;
    bool m_everJoined = false;

    // The engine the raw callbacks push to, under a shared lock; cleared
    // (under the exclusive lock) before the engine is released.
    std::shared_mutex m_pushMutex;
    vendor::rtc::IRtcEngine *m_pushTo = nullptr;
    // The size libobs scales to, set before data capture begins.
    std::atomic<int> m_width{0};
    std::atomic<int> m_height{0};
    // Whether frames go out: from the join to the stop or the failure.
    std::atomic<bool> m_joined{false};
    // Owned by libobs's video thread while capturing: the frame's planes, one after the other.
    std::vector<uint8_t> m_frame;

    std::atomic<bool> m_reconnecting{false};
    std::atomic<int> m_sentKbps{0};
    std::atomic<int> m_sentFps{0};
    std::atomic<uint64_t> m_sentBytes{0};
    std::atomic<unsigned int> m_droppedFrames{0};
    std::atomic<int> m_connectMs{0};
};
