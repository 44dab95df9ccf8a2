#include "kputilinterface.h"

#include "kplog.h"

#include <obs-module.h>

namespace {

struct TypeEntry
{
    const char *name;
    KPWB::DrawItemType value;
};

// Every tool a host can offer, so that a sheet and a tool bar built from
// this list name the same tools alike.
const TypeEntry kTypeEntries[] = {
    {"DRAW_ITEM_TYPE_UNDEFINED", KPWB::DRAW_ITEM_TYPE_UNDEFINED},
    {"DRAW_ITEM_TYPE_RECT", KPWB::DRAW_ITEM_TYPE_RECT},
    {"DRAW_ITEM_TYPE_POINT", KPWB::DRAW_ITEM_TYPE_POINT},
    {"DRAW_ITEM_TYPE_ARROW", KPWB::DRAW_ITEM_TYPE_ARROW},
    {"DRAW_ITEM_TYPE_LINE", KPWB::DRAW_ITEM_TYPE_LINE},
    {"DRAW_ITEM_TYPE_ELLIPSE", KPWB::DRAW_ITEM_TYPE_ELLIPSE},
    {"DRAW_ITEM_TYPE_PEN", KPWB::DRAW_ITEM_TYPE_PEN},
    {"DRAW_ITEM_TYPE_TEXT", KPWB::DRAW_ITEM_TYPE_TEXT},
    {"Draw_ITEM_TYPE_PEN_ALPHA", KPWB::Draw_ITEM_TYPE_PEN_ALPHA},
    {"DRAW_ITEM_TYPE_ERASER", KPWB::DRAW_ITEM_TYPE_ERASER},
    {"DRAW_ITEM_TYPE_LASER", KPWB::DRAW_ITEM_TYPE_LASER},
    {"DRAW_ITEM_TYPE_SPOTLIGHT", KPWB::DRAW_ITEM_TYPE_SPOTLIGHT},
};

} // namespace

void KPUtilInterface::updateWithSettings(KPWB::ItemProperty &property, obs_data_t *settings)
{
    KP_LOG_SCOPE();
    // Stored values are 64-bit; the tool keeps the low 32 bits of each.
    property.color = static_cast<quint32>(obs_data_get_int(settings, kColorKey));
    property.type = static_cast<qint32>(obs_data_get_int(settings, kTypeKey));
    KP_LOG(1, QStringLiteral("type is %1").arg(property.type));
    property.size = static_cast<quint32>(obs_data_get_int(settings, kSizeKey));
    property.lineWidth = readLineWidth(settings);
    const KPWB::ItemProperty defaults;
    property.spotlightRadius =
        readBounded(settings, kSpotlightRadiusKey, kMinSpotlightRadius, kMaxSpotlightRadius, defaults.spotlightRadius);
    property.laserWidth = readBounded(settings, kLaserWidthKey, 1, kMaxLaserWidth, defaults.laserWidth);
}

quint32 KPUtilInterface::readLineWidth(obs_data_t *settings)
{
    return readBounded(settings, kLineWidthKey, kMinLineWidth, kMaxLineWidth, kMinLineWidth);
}

quint32 KPUtilInterface::readBounded(obs_data_t *settings, const char *key, int low, int high, int fallback)
{
    obs_data_item_t *item = settings ? obs_data_item_byname(settings, key) : nullptr;
    if (!item)
        return quint32(fallback);
    double value = low;
    const bool number = obs_data_item_gettype(item) == OBS_DATA_NUMBER;
    if (number) {
        value = obs_data_item_numtype(item) == OBS_DATA_NUM_DOUBLE ? obs_data_item_get_double(item)
                                                                   : double(obs_data_item_get_int(item));
    }
    obs_data_item_release(&item);
    // Not a number (NaN included) reads as the low bound.
    const double bounded = number && value == value ? qBound<double>(low, value, high) : double(low);
    const quint32 result = static_cast<quint32>(bounded);
    if (!number || double(result) != value)
        KP_LOG(1, QStringLiteral("%1 %2 read as %3.").arg(QLatin1String(key)).arg(number ? value : qQNaN()).arg(result));
    return result;
}

void KPUtilInterface::writeSettings(const KPWB::ItemProperty &property, obs_data_t *settings)
{
    // Colour and size are zero-extended, the type sign-extended.
    const long long color = property.color;
    const long long type = property.type;
    const long long size = property.size;
    obs_data_set_default_int(settings, kColorKey, color);
    obs_data_set_default_int(settings, kTypeKey, type);
    obs_data_set_default_int(settings, kSizeKey, size);
    obs_data_set_default_int(settings, kLineWidthKey, property.lineWidth);
    obs_data_set_int(settings, kColorKey, color);
    obs_data_set_int(settings, kTypeKey, type);
    obs_data_set_int(settings, kSizeKey, size);
    obs_data_set_int(settings, kLineWidthKey, property.lineWidth);
}

void KPUtilInterface::setDefaults(obs_data_t *settings)
{
    const KPWB::ItemProperty defaults;
    writeSettings(defaults, settings);
    obs_data_set_default_int(settings, kSpotlightRadiusKey, defaults.spotlightRadius);
    obs_data_set_default_int(settings, kLaserWidthKey, defaults.laserWidth);
}

void KPUtilInterface::addProperties(obs_properties_t *properties)
{
    obs_properties_add_color(properties, kColorKey, obs_module_text(kColorKey));
    // The size keys reach kMaxToolSize, so the sheet goes as far.
    obs_properties_add_int(properties, kSizeKey, obs_module_text(kSizeKey), 1, kMaxToolSize, 1);
    obs_properties_add_int_slider(properties, kLineWidthKey, obs_module_text(kLineWidthKey), kMinLineWidth,
                                  kMaxLineWidth, 1);
    obs_properties_add_int(properties, kSpotlightRadiusKey, obs_module_text(kSpotlightRadiusKey),
                           kMinSpotlightRadius, kMaxSpotlightRadius, 10);
    obs_properties_add_int(properties, kLaserWidthKey, obs_module_text(kLaserWidthKey), 1, kMaxLaserWidth, 1);
    obs_property_t *list = obs_properties_add_list(properties, kTypeKey, obs_module_text(kTypeKey),
                                                   OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_INT);
    for (const TypeEntry &entry : kTypeEntries)
        obs_property_list_add_int(list, obs_module_text(entry.name), entry.value);
}

QColor KPUtilInterface::toQColor(quint32 value)
{
    QColor color;
    color.setRgb(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff, value >> 24);
    return color;
}
