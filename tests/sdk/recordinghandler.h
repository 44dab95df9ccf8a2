#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vendor/rtc/irtcengineeventhandler.h"

// Records which callbacks arrived, with their main argument and thread.
class RecordingHandler : public vendor::rtc::IRtcEngineEventHandler
{
public:
    struct Event
    {
        std::string name;
        std::string text;
        unsigned int number;
        std::thread::id thread;
    };

    // Waits (bounded) until `name` has arrived `count` times.
    bool waitFor(const std::string &name, int count = 1, int timeoutMs = 3000);
    // Waits (bounded) for an event that satisfies match.
    bool waitFor(const std::string &name, const std::function<bool(const Event &)> &match, int timeoutMs);
    int count(const std::string &name) const;
    std::vector<Event> events() const;
    std::vector<std::string> names() const;

    void onError(int err, const char *msg) override { add("error", msg, err); }
    void onJoinChannelSuccess(const char *channel, vendor::rtc::uid_t uid, int) override { add("join", channel, uid); }
    void onRejoinChannelSuccess(const char *channel, vendor::rtc::uid_t uid, int) override { add("rejoin", channel, uid); }
    void onLeaveChannel(const vendor::rtc::RtcStats &) override { add("leave"); }
    void onUserJoined(vendor::rtc::uid_t uid, int) override { add("userJoined", nullptr, uid); }
    void onConnectionBanned() override { add("banned"); }
    void onTokenPrivilegeWillExpire(const char *token) override { add("token", token); }
    void onRtcStats(const vendor::rtc::RtcStats &) override { add("rtcStats"); }
    void onUserOffline(vendor::rtc::uid_t uid, vendor::rtc::USER_OFFLINE_REASON_TYPE) override { add("userOffline", nullptr, uid); }
    void onFirstRemoteVideoDecoded(vendor::rtc::uid_t uid, int width, int height, int) override
    {
        add("firstRemoteVideo", size(width, height).c_str(), uid);
    }
    void onRemoteVideoStats(const vendor::rtc::RemoteVideoStats &stats) override
    {
        add("remoteVideoStats", size(stats.width, stats.height).c_str(),
            static_cast<unsigned>(stats.rendererOutputFrameRate));
    }
    // The frames sent as number, those dropped as text.
    void onLocalVideoStats(const vendor::rtc::LocalVideoStats &stats) override
    {
        add("localVideoStats", std::to_string(stats.droppedFrames).c_str(), stats.sentFrames);
    }
    void onFirstRemoteAudioDecoded(vendor::rtc::uid_t uid, int) override { add("firstRemoteAudio", nullptr, uid); }
    void onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_TYPE state,
                                  vendor::rtc::CONNECTION_CHANGED_REASON_TYPE reason) override
    {
        add("connection", std::to_string(reason).c_str(), static_cast<unsigned>(state));
    }

private:
    static std::string size(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }
    void add(const char *name, const char *text = nullptr, unsigned int number = 0);

    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Event> m_events;
};
