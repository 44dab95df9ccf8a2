#pragma once

#include "kpitemproperty.h"

#include <QColor>

#include <obs-data.h>
#include <obs-properties.h>

// The drawing tool in settings and property sheets, and the one rule that
// turns a stored colour into a QColor.
class KPUtilInterface
{
public:
    // The tool's settings keys, which the property sheet, the keys and the
    // studio all write.
    static constexpr const char *kTypeKey = "kp_wb_draw_type";
    static constexpr const char *kColorKey = "kp_wb_draw_color";
    static constexpr const char *kSizeKey = "kp_wb_draw_size";
    static constexpr const char *kLineWidthKey = "kp_wb_line_width";
    static constexpr const char *kSpotlightRadiusKey = "kp_wb_spotlight_radius";
    static constexpr const char *kLaserWidthKey = "kp_wb_laser_width";

    // Reads colour, type, size and line width; absent keys (or no settings)
    // read as 0, an absent line width as 1.
    static void updateWithSettings(KPWB::ItemProperty &property, obs_data_t *settings);
    // Writes the three keys as defaults and then as values.
    static void writeSettings(const KPWB::ItemProperty &property, obs_data_t *settings);
    // Resets the tool to {size 20, opaque red, type 0}, defaults and values.
    static void setDefaults(obs_data_t *settings);
    // Colour, size and the draw-type list, labels from the locale.
    static void addProperties(obs_properties_t *properties);

    // The largest size the property sheet and the size keys set.
    static constexpr int kMaxToolSize = 200;
    static constexpr int kMinLineWidth = 1;
    static constexpr int kMaxLineWidth = 64;
    // The line width a setting holds: absent reads as 1, anything out of
    // range or not a number as the nearest bound, with a log line.
    static quint32 readLineWidth(obs_data_t *settings);
    static constexpr int kMinSpotlightRadius = 20;
    static constexpr int kMaxSpotlightRadius = 2000;
    static constexpr int kMaxLaserWidth = 200;
    // An integer setting within [low, high]; absent reads as fallback, the
    // rest as with the line width.
    static quint32 readBounded(obs_data_t *settings, const char *key, int low, int high, int fallback);

    // value is 0xAABBGGRR.
    static QColor toQColor(quint32 value);
};
