#include "janusparameters.h"

#include <nlohmann/json.hpp>

namespace vendor {
namespace rtc {
namespace {

using Json = nlohmann::json;

// What an external source's encoder is asked for at most and at least.
constexpr long kLowestBitrateKbps = 50;
constexpr long kHighestBitrateKbps = 20000;
constexpr long kHighestFrameRate = 120;
constexpr long kLongestReceiveLatencyMs = 5000;

bool webUrl(const std::string &url)
{
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

// A whole number within [low, high] at key, if the key is there.
bool readWhole(const Json &settings, const char *key, long low, long high, int &to)
{
    if (!settings.contains(key))
        return true;
    const Json &value = settings[key];
    if (!value.is_number_integer() || value.get<long>() < low || value.get<long>() > high)
        return false;
    to = value.get<int>();
    return true;
}

} // namespace

bool JanusParameters::read(const char *parameters, Values &values)
{
    if (!parameters || *parameters != '{')
        return false;
    const Json settings = Json::parse(parameters, nullptr, false);
    if (!settings.is_object())
        return false;
    Values read = values;
    if (settings.contains("rtc.janus.url")) {
        const Json &value = settings["rtc.janus.url"];
        if (!value.is_string() || !webUrl(value.get<std::string>()))
            return false;
        read.url = value.get<std::string>();
    }
    if (settings.contains("rtc.video.codec")) {
        const Json &value = settings["rtc.video.codec"];
        if (!value.is_string() || (value != "vp8" && value != "h264"))
            return false;
        read.media.codec = value == "h264" ? WebRtcPeer::Media::Codec::H264 : WebRtcPeer::Media::Codec::Vp8;
    }
    if (!readWhole(settings, "rtc.video.bitrate_kbps", kLowestBitrateKbps, kHighestBitrateKbps,
                   read.media.bitrateKbps) ||
        !readWhole(settings, "rtc.video.frame_rate", 1, kHighestFrameRate, read.media.frameRate) ||
        !readWhole(settings, "rtc.video.receive_latency_ms", 0, kLongestReceiveLatencyMs,
                   read.media.receiveLatencyMs))
        return false;
    values = read;
    return true;
}

} // namespace rtc
} // namespace vendor
