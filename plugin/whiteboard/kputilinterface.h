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
    // Reads colour, type and size; absent keys (or no settings) read as 0.
    static void updateWithSettings(KPWB::ItemProperty &property, obs_data_t *settings);
    // Writes the three keys as defaults and then as values.
    static void writeSettings(const KPWB::ItemProperty &property, obs_data_t *settings);
    // Resets the tool to {size 20, opaque red, type 0}, defaults and values.
    static void setDefaults(obs_data_t *settings);
    // Colour, size and the draw-type list, labels from the locale.
    static void addProperties(obs_properties_t *properties);

    // The largest size the property sheet and the size keys set.
    static constexpr int kMaxToolSize = 200;

    // value is 0xAABBGGRR.
    static QColor toQColor(quint32 value);
};
