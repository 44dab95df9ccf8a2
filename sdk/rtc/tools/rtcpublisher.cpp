// rtc-publisher CHANNEL [UID] [TOKEN]: joins CHANNEL as a broadcaster with the
// engine the environment chooses (VENDOR_RTC_ENGINE=janus for a real room) and
// sends its test picture and tone until interrupted; the demo counterpart of
// rtc-probe.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "vendor/rtc/irtcengine.h"

using namespace vendor::rtc;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int)
{
    g_stop = 1;
}

class PrintingHandler : public IRtcEngineEventHandler
{
public:
    void onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed) override
    {
        std::printf("joined %s as %u after %d ms\n", channel, uid, elapsed);
    }
    void onRejoinChannelSuccess(const char *channel, uid_t uid, int) override
    {
        std::printf("rejoined %s as %u\n", channel, uid);
    }
    void onUserJoined(uid_t uid, int) override { std::printf("user %u joined\n", uid); }
    void onUserOffline(uid_t uid, USER_OFFLINE_REASON_TYPE) override { std::printf("user %u left\n", uid); }
    void onError(int err, const char *msg) override { std::printf("error %d: %s\n", err, msg ? msg : ""); }
    void onConnectionStateChanged(CONNECTION_STATE_TYPE state, CONNECTION_CHANGED_REASON_TYPE reason) override
    {
        std::printf("connection state %d (reason %d)\n", state, reason);
    }
    void onLocalVideoStats(const LocalVideoStats &stats) override
    {
        std::printf("sending %d kbit/s at %d fps\n", stats.sentBitrate, stats.sentFrameRate);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CHANNEL [UID] [TOKEN]\n", argv[0]);
        return 2;
    }
    const uid_t uid = argc > 2 ? static_cast<uid_t>(std::strtoul(argv[2], nullptr, 10)) : 9001;
    const char *token = argc > 3 ? argv[3] : "";
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    PrintingHandler handler;
    IRtcEngine *engine = createRtcEngine();
    RtcEngineContext context;
    context.eventHandler = &handler;
    context.appId = "rtc-publisher";
    if (engine->initialize(context) != 0) {
        std::fprintf(stderr, "rtc-publisher: the engine does not start\n");
        return 1;
    }
    engine->setChannelProfile(CHANNEL_PROFILE_LIVE_BROADCASTING);
    engine->setClientRole(CLIENT_ROLE_BROADCASTER);
    if (engine->joinChannel(token, argv[1], nullptr, uid) != 0) {
        std::fprintf(stderr, "rtc-publisher: the join is refused\n");
        return 1;
    }
    while (!g_stop)
        pause();
    engine->leaveChannel();
    usleep(300 * 1000); // lets the leave reach the server
    engine->release(true);
    return 0;
}
