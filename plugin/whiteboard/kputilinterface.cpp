#include "kputilinterface.h"

#include "kplog.h"

#include <obs-module.h>

namespace {

const char kColorKey[] = "kp_wb_draw_color";
const char kTypeKey[] = "kp_wb_draw_type";
const char kSizeKey[] = "kp_wb_draw_size";

struct TypeEntry
{
    const char *name;
    KPWB::DrawItemType value;
};

// The text type has no entry: it reaches an item only through settings or a
// saved record.
const TypeEntry kTypeEntries[] = {
    {"DRAW_ITEM_TYPE_UNDEFINED", KPWB::DRAW_ITEM_TYPE_UNDEFINED},
    {"DRAW_ITEM_TYPE_RECT", KPWB::DRAW_ITEM_TYPE_RECT},
    {"DRAW_ITEM_TYPE_POINT", KPWB::DRAW_ITEM_TYPE_POINT},
    {"DRAW_ITEM_TYPE_ARROW", KPWB::DRAW_ITEM_TYPE_ARROW},
    {"DRAW_ITEM_TYPE_LINE", KPWB::DRAW_ITEM_TYPE_LINE},
    {"DRAW_ITEM_TYPE_ELLIPSE", KPWB::DRAW_ITEM_TYPE_ELLIPSE},
    {"DRAW_ITEM_TYPE_PEN", KPWB::DRAW_ITEM_TYPE_PEN},
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
    obs_data_set_int(settings, kColorKey, color);
    obs_data_set_int(settings, kTypeKey, type);
    obs_data_set_int(settings, kSizeKey, size);
}

void KPUtilInterface::setDefaults(obs_data_t *settings)
{
    writeSettings(KPWB::ItemProperty(), settings);
}

void KPUtilInterface::addProperties(obs_properties_t *properties)
{
    obs_properties_add_color(properties, kColorKey, obs_module_text(kColorKey));
    // The size keys reach kMaxToolSize, so the sheet goes as far.
    obs_properties_add_int(properties, kSizeKey, obs_module_text(kSizeKey), 1, kMaxToolSize, 1);
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
