#pragma once

// Basic types, enumerations and records shared by the engine and its callbacks.

#include <cstdint>

#if defined(_WIN32)
#define VENDOR_RTC_API __declspec(dllexport)
#else
#define VENDOR_RTC_API __attribute__((visibility("default")))
#endif

namespace vendor {
namespace rtc {

// User id inside a channel; 0 lets the engine choose one.
typedef unsigned int uid_t;

// Native window handle: an X11 Window id (or HWND on Windows) cast to a pointer.
typedef void *view_t;

// Operations return 0 on success and a negated ERROR_CODE_TYPE on failure.
enum ERROR_CODE_TYPE {
    ERR_OK = 0,
    ERR_FAILED = 1,
    ERR_INVALID_ARGUMENT = 2,
    ERR_NOT_READY = 3,
    ERR_NOT_SUPPORTED = 4,
    ERR_REFUSED = 5,
    ERR_NOT_INITIALIZED = 7,
    ERR_JOIN_CHANNEL_REJECTED = 17,
    ERR_LEAVE_CHANNEL_REJECTED = 18,
    ERR_INVALID_APP_ID = 101,
    ERR_TOKEN_EXPIRED = 109,
    ERR_INVALID_TOKEN = 110,
};

enum INTERFACE_ID_TYPE {
    INTERFACE_ID_AUDIO_DEVICE_MANAGER = 1,
    INTERFACE_ID_VIDEO_DEVICE_MANAGER = 2,
    INTERFACE_ID_PARAMETER = 3,
};

enum CHANNEL_PROFILE_TYPE {
    CHANNEL_PROFILE_COMMUNICATION = 0,
    CHANNEL_PROFILE_LIVE_BROADCASTING = 1,
};

enum CLIENT_ROLE_TYPE {
    CLIENT_ROLE_BROADCASTER = 1,
    CLIENT_ROLE_AUDIENCE = 2,
};

enum RENDER_MODE_TYPE {
    RENDER_MODE_HIDDEN = 1,
    RENDER_MODE_FIT = 2,
};

enum USER_OFFLINE_REASON_TYPE {
    USER_OFFLINE_QUIT = 0,
    USER_OFFLINE_DROPPED = 1,
    USER_OFFLINE_BECOME_AUDIENCE = 2,
};

enum CONNECTION_STATE_TYPE {
    CONNECTION_STATE_DISCONNECTED = 1,
    CONNECTION_STATE_CONNECTING = 2,
    CONNECTION_STATE_CONNECTED = 3,
    CONNECTION_STATE_RECONNECTING = 4,
    CONNECTION_STATE_FAILED = 5,
};

enum CONNECTION_CHANGED_REASON_TYPE {
    CONNECTION_CHANGED_CONNECTING = 0,
    CONNECTION_CHANGED_JOIN_SUCCESS = 1,
    CONNECTION_CHANGED_INTERRUPTED = 2,
    CONNECTION_CHANGED_BANNED_BY_SERVER = 3,
    CONNECTION_CHANGED_JOIN_FAILED = 4,
    CONNECTION_CHANGED_LEAVE_CHANNEL = 5,
    CONNECTION_CHANGED_INVALID_TOKEN = 8,
    CONNECTION_CHANGED_TOKEN_EXPIRED = 9,
};

enum MEDIA_DEVICE_TYPE {
    UNKNOWN_AUDIO_DEVICE = -1,
    AUDIO_PLAYOUT_DEVICE = 0,
    AUDIO_RECORDING_DEVICE = 1,
    VIDEO_RENDER_DEVICE = 2,
    VIDEO_CAPTURE_DEVICE = 3,
};

enum RTMP_STREAM_PUBLISH_STATE {
    RTMP_STREAM_PUBLISH_STATE_IDLE = 0,
    RTMP_STREAM_PUBLISH_STATE_CONNECTING = 1,
    RTMP_STREAM_PUBLISH_STATE_RUNNING = 2,
    RTMP_STREAM_PUBLISH_STATE_RECOVERING = 3,
    RTMP_STREAM_PUBLISH_STATE_FAILURE = 4,
};

enum RTMP_STREAM_PUBLISH_ERROR {
    RTMP_STREAM_PUBLISH_ERROR_OK = 0,
    RTMP_STREAM_PUBLISH_ERROR_INVALID_ARGUMENT = 1,
    RTMP_STREAM_PUBLISH_ERROR_CONNECTION_TIMEOUT = 3,
    RTMP_STREAM_PUBLISH_ERROR_INTERNAL_SERVER_ERROR = 4,
};

struct AudioVolumeInfo
{
    uid_t uid;
    unsigned int volume; // 0 to 255
};

struct RtcStats
{
    unsigned int duration; // seconds in the channel
    unsigned int txBytes;
    unsigned int rxBytes;
    unsigned short txKBitRate;
    unsigned short rxKBitRate;
    unsigned short rxAudioKBitRate;
    unsigned short txAudioKBitRate;
    unsigned short rxVideoKBitRate;
    unsigned short txVideoKBitRate;
    unsigned int userCount;
    double cpuAppUsage;
    double cpuTotalUsage;
};

struct LocalVideoStats
{
    int sentBitrate;
    int sentFrameRate;
    int targetFrameRate;
    // Since the external video source was turned on; frames dropped are those
    // the engine could not send (not joined, out of order, or the encoder lagging).
    unsigned int sentFrames = 0;
    unsigned int droppedFrames = 0;
};

struct RemoteVideoStats
{
    uid_t uid;
    int delay;
    int width;
    int height;
    int receivedBitrate;
    int rendererOutputFrameRate;
};

// Of fixed width, so that a value the engine does not know is refused rather than undefined.
enum VIDEO_PIXEL_FORMAT : int {
    VIDEO_PIXEL_I420 = 1, // three planes: Y, then U and V at half width and height
    VIDEO_PIXEL_BGRA = 2, // one plane, four bytes a pixel
    VIDEO_PIXEL_NV12 = 8, // two planes: Y, then interleaved UV at half height
};

// A picture made by the caller. The planes follow each other in buffer, each
// row `stride` bytes long (0: as long as the pixels need), the chroma rows
// of I420 half as long as the luma rows. The engine copies what it needs
// before the push returns.
struct ExternalVideoFrame
{
    VIDEO_PIXEL_FORMAT format;
    const void *buffer;
    int width;
    int height;
    int stride;
    long long timestampMs; // in the caller's clock; must grow from frame to frame
};

// Interleaved signed 16-bit PCM.
struct AudioFrame
{
    const void *buffer;
    int samplesPerChannel;
    int channels; // 1 or 2
    int samplesPerSec;
    long long timestampMs; // in the caller's clock
};

struct VideoCanvas
{
    view_t view;
    int renderMode;
    char channelId[65];
    uid_t uid;
    void *priv;
};

} // namespace rtc
} // namespace vendor
