#include "kprtcoutputsettings.h"

#include "kplog.h"

#include <obs-module.h>

#include <QtGlobal>

#include <cmath>
#include <limits>

namespace {

const char kDefaultServer[] = "http://127.0.0.1:8088/janus";
// The engine refuses pictures larger than 4096 a side; chroma needs even sizes.
constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;
constexpr int kCapWidth = 1280;
constexpr int kCapHeight = 720;
constexpr int kMaxFps = 60;
constexpr int kMinBitrateKbps = 50;
constexpr int kMaxBitrateKbps = 20000;
constexpr int kBitrateAt720pKbps = 1500;

// A number item as a double, or nothing (missing: *present stays false).
bool readNumber(obs_data_t *settings, const char *key, double *value, bool *present)
{
    obs_data_item_t *item = obs_data_item_byname(settings, key);
    *present = item != nullptr;
    if (!item)
        return false;
    const bool number = obs_data_item_gettype(item) == OBS_DATA_NUMBER;
    if (number)
        *value = obs_data_item_numtype(item) == OBS_DATA_NUM_DOUBLE ? obs_data_item_get_double(item)
                                                                     : double(obs_data_item_get_int(item));
    obs_data_item_release(&item);
    if (!number)
        KP_LOG(1, QStringLiteral("kp_rtc_output: \"%1\" is not a number; its default is used.").arg(QLatin1String(key)));
    return number && std::isfinite(*value);
}

// 0 or missing takes the fallback; a value out of [low, high] the nearest bound.
int readBounded(obs_data_t *settings, const char *key, int low, int high, int fallback)
{
    double value = 0;
    bool present = false;
    if (!readNumber(settings, key, &value, &present) || value == 0)
        return fallback;
    const int bounded = int(qBound<double>(low, std::round(value), high));
    if (double(bounded) != value)
        KP_LOG(1, QStringLiteral("kp_rtc_output: \"%1\" %2 read as %3.").arg(QLatin1String(key)).arg(value).arg(bounded));
    return bounded;
}

QString readText(obs_data_t *settings, const char *key, const char *fallback)
{
    obs_data_item_t *item = obs_data_item_byname(settings, key);
    if (!item)
        return QString::fromUtf8(fallback);
    const bool text = obs_data_item_gettype(item) == OBS_DATA_STRING;
    const QString value = text ? QString::fromUtf8(obs_data_item_get_string(item)) : QString::fromUtf8(fallback);
    obs_data_item_release(&item);
    if (!text)
        KP_LOG(1, QStringLiteral("kp_rtc_output: \"%1\" is not text; \"%2\" is used.").arg(QLatin1String(key), value));
    return value;
}

int even(int side)
{
    return side & ~1;
}

} // namespace

KPRtcOutputSettings KPRtcOutputSettings::read(obs_data_t *settings, int canvasWidth, int canvasHeight)
{
    KPRtcOutputSettings result;
    result.server = readText(settings, "server", kDefaultServer);
    result.channel = readText(settings, "channel", "");
    result.token = readText(settings, "token", "");
    result.codec = readText(settings, "codec", "vp8");
    if (result.codec != QLatin1String("vp8") && result.codec != QLatin1String("h264")) {
        KP_LOG(1, QStringLiteral("kp_rtc_output: \"codec\" \"%1\" is neither vp8 nor h264; vp8 is used.").arg(result.codec.left(64)));
        result.codec = QStringLiteral("vp8");
    }
    result.uid = unsigned(readBounded(settings, "uid", 0, std::numeric_limits<int>::max(), 0));

    canvasWidth = qBound(kMinSide, canvasWidth, kMaxSide);
    canvasHeight = qBound(kMinSide, canvasHeight, kMaxSide);
    const double fit = qMin(1.0, qMin(double(kCapWidth) / canvasWidth, double(kCapHeight) / canvasHeight));
    const int defaultWidth = qMax(kMinSide, even(int(canvasWidth * fit)));
    const int defaultHeight = qMax(kMinSide, even(int(canvasHeight * fit)));
    result.width = even(readBounded(settings, "width", kMinSide, kMaxSide, defaultWidth));
    result.height = even(readBounded(settings, "height", kMinSide, kMaxSide, defaultHeight));
    result.fps = readBounded(settings, "fps", 1, kMaxFps, 30);

    // Without a bitrate, 1500 kbit/s at 1280x720 and 30 frames a second, in
    // proportion to the pixels sent each second.
    const double share = double(result.width) * result.height * result.fps / (double(kCapWidth) * kCapHeight * 30);
    const int defaultBitrate = qBound(kMinBitrateKbps, int(kBitrateAt720pKbps * share), kMaxBitrateKbps);
    result.bitrateKbps = readBounded(settings, "bitrate_kbps", kMinBitrateKbps, kMaxBitrateKbps, defaultBitrate);
    return result;
}

void KPRtcOutputSettings::setDefaults(obs_data_t *settings)
{
    obs_data_set_default_string(settings, "server", kDefaultServer);
    obs_data_set_default_int(settings, "fps", 30);
    obs_data_set_default_string(settings, "codec", "vp8");
}

obs_properties_t *KPRtcOutputSettings::properties()
{
    obs_properties_t *props = obs_properties_create();
    obs_properties_add_text(props, "server", obs_module_text("RtcOutput.Server"), OBS_TEXT_DEFAULT);
    obs_properties_add_text(props, "channel", obs_module_text("RtcOutput.Channel"), OBS_TEXT_DEFAULT);
    obs_properties_add_int(props, "uid", obs_module_text("RtcOutput.Uid"), 0, std::numeric_limits<int>::max(), 1);
    obs_properties_add_text(props, "token", obs_module_text("RtcOutput.Token"), OBS_TEXT_PASSWORD);
    obs_properties_add_int(props, "width", obs_module_text("RtcOutput.Width"), 0, kMaxSide, 2);
    obs_properties_add_int(props, "height", obs_module_text("RtcOutput.Height"), 0, kMaxSide, 2);
    obs_properties_add_int(props, "fps", obs_module_text("RtcOutput.Fps"), 1, kMaxFps, 1);
    obs_properties_add_int(props, "bitrate_kbps", obs_module_text("RtcOutput.Bitrate"), 0, kMaxBitrateKbps, 50);
    obs_property_t *codec =
        obs_properties_add_list(props, "codec", obs_module_text("RtcOutput.Codec"), OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(codec, "VP8", "vp8");
    obs_property_list_add_string(codec, "H.264", "h264");
    return props;
}
