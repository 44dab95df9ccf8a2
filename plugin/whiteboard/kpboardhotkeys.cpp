#include "kpboardhotkeys.h"

#include "kpitemproperty.h"
#include "kplog.h"
#include "kptoolbox.h"
#include "kputilinterface.h"

#include <obs-module.h>

#include <QString>

#include <cmath>
#include <cstring>
#include <utility>

struct KPBoardHotkeys::Entry
{
    enum Kind { HolderAction, Tool, Colour, SizeUp, SizeDown };
    const char *name;
    Kind kind;
    long long value; // the Action, the draw type or the 0xAABBGGRR colour
};

namespace {

using Entry = KPBoardHotkeys::Entry;
using Action = KPBoardHotkeys::Action;
using Keys = KPUtilInterface;

// Registration order is the order a host lists them in.
const Entry kEntries[] = {
    {"kp_wb_hotkey_undo", Entry::HolderAction, static_cast<long long>(Action::Undo)},
    {"kp_wb_hotkey_redo", Entry::HolderAction, static_cast<long long>(Action::Redo)},
    {"kp_wb_hotkey_clear", Entry::HolderAction, static_cast<long long>(Action::Clear)},
    {"kp_wb_hotkey_hideHandwriting", Entry::HolderAction, static_cast<long long>(Action::ToggleHandwriting)},
    {"kp_wb_hotkey_tool_rect", Entry::Tool, KPWB::DRAW_ITEM_TYPE_RECT},
    {"kp_wb_hotkey_tool_dot", Entry::Tool, KPWB::DRAW_ITEM_TYPE_POINT},
    {"kp_wb_hotkey_tool_arrow", Entry::Tool, KPWB::DRAW_ITEM_TYPE_ARROW},
    {"kp_wb_hotkey_tool_line", Entry::Tool, KPWB::DRAW_ITEM_TYPE_LINE},
    {"kp_wb_hotkey_tool_ellipse", Entry::Tool, KPWB::DRAW_ITEM_TYPE_ELLIPSE},
    {"kp_wb_hotkey_tool_pen", Entry::Tool, KPWB::DRAW_ITEM_TYPE_PEN},
    {"kp_wb_hotkey_tool_highlighter", Entry::Tool, KPWB::Draw_ITEM_TYPE_PEN_ALPHA},
    {"kp_wb_hotkey_tool_text", Entry::Tool, KPWB::DRAW_ITEM_TYPE_TEXT},
    {"kp_wb_hotkey_tool_eraser", Entry::Tool, KPWB::DRAW_ITEM_TYPE_ERASER},
    {"kp_wb_hotkey_tool_laser", Entry::Tool, KPWB::DRAW_ITEM_TYPE_LASER},
    {"kp_wb_hotkey_tool_spotlight", Entry::Tool, KPWB::DRAW_ITEM_TYPE_SPOTLIGHT},
    {"kp_wb_hotkey_color_red", Entry::Colour, 0xff0000ffLL},
    {"kp_wb_hotkey_color_green", Entry::Colour, 0xff00ff00LL},
    {"kp_wb_hotkey_color_blue", Entry::Colour, 0xffff0000LL},
    {"kp_wb_hotkey_color_yellow", Entry::Colour, 0xff00ffffLL},
    {"kp_wb_hotkey_color_white", Entry::Colour, 0xffffffffLL},
    {"kp_wb_hotkey_color_black", Entry::Colour, 0xff000000LL},
    {"kp_wb_hotkey_size_up", Entry::SizeUp, 0},
    {"kp_wb_hotkey_size_down", Entry::SizeDown, 0},
};

} // namespace

void KPBoardHotkeys::attach(const void *holder, obs_source_t *source, Handler handler)
{
    KPSourceHotkeys::attach(holder, std::make_unique<KPBoardHotkeys>(source, std::move(handler)));
}

void KPBoardHotkeys::attachCommands(const void *holder, obs_source_t *source, std::function<void(int)> command)
{
    attach(holder, source, [source, command = std::move(command)](Action action) {
        switch (action) {
        case Action::Undo: command(1); break;
        case Action::Redo: command(2); break;
        case Action::Clear: command(3); break;
        case Action::ToggleHandwriting: toggleSetting(source, "kp_wb_hideHandwriting"); break;
        }
    });
}

KPBoardHotkeys::KPBoardHotkeys(obs_source_t *source, Handler handler)
    : KPSourceHotkeys(source), m_handler(std::move(handler))
{
    if (!m_handler)
        return;
    for (const Entry &entry : kEntries)
        add(entry.name, [this, &entry] { run(entry); });
}

const char *KPBoardHotkeys::name(Action action)
{
    for (const Entry &entry : kEntries) {
        if (entry.kind == Entry::HolderAction && entry.value == static_cast<long long>(action))
            return entry.name;
    }
    return "";
}

std::vector<const char *> KPBoardHotkeys::names()
{
    std::vector<const char *> result;
    for (const Entry &entry : kEntries)
        result.push_back(entry.name);
    return result;
}

void KPBoardHotkeys::toggleSetting(obs_source_t *source, const char *key)
{
    obs_data_t *settings = obs_source_get_settings(source);
    if (!settings)
        return;
    obs_data_t *change = obs_data_create();
    obs_data_set_bool(change, key, !obs_data_get_bool(settings, key));
    obs_source_update(source, change);
    obs_data_release(change);
    obs_data_release(settings);
}

void KPBoardHotkeys::setSetting(obs_source_t *source, const char *key, long long value)
{
    obs_data_t *change = obs_data_create();
    obs_data_set_int(change, key, value);
    obs_source_update(source, change);
    obs_data_release(change);
}

long long KPBoardHotkeys::stepSize(long long size, bool up)
{
    const long long largest = KPUtilInterface::kMaxToolSize;
    // A stored size beyond the range steps from the nearest end of it.
    const double from = static_cast<double>(qBound(1LL, size, largest));
    const long long stepped = std::llround(up ? from * 1.5 : from / 1.5);
    return qBound(1LL, stepped, largest);
}

long long KPBoardHotkeys::stepLineWidth(long long width, bool up)
{
    // A quarter of the width at a time, at least a pixel: thin lines step finely, wide ones quickly.
    const long long from = qBound<long long>(KPUtilInterface::kMinLineWidth, width, KPUtilInterface::kMaxLineWidth);
    const long long step = qMax(1LL, from / 4);
    return qBound<long long>(KPUtilInterface::kMinLineWidth, up ? from + step : from - qMax(1LL, (from - 1) / 4),
                             KPUtilInterface::kMaxLineWidth);
}

void KPBoardHotkeys::run(const Entry &entry)
{
    switch (entry.kind) {
    case Entry::HolderAction: m_handler(static_cast<Action>(entry.value)); break;
    case Entry::Tool: setSetting(source(), Keys::kTypeKey, entry.value); break;
    case Entry::Colour: setSetting(source(), Keys::kColorKey, entry.value); break;
    case Entry::SizeUp:
    case Entry::SizeDown: stepSizeSetting(entry.kind == Entry::SizeUp); break;
    }
}

// The size keys step what the tool's look depends on (see KPToolbox).
void KPBoardHotkeys::stepSizeSetting(bool up)
{
    obs_data_t *settings = obs_source_get_settings(source());
    const char *key = KPToolbox::sizeKeyFor(static_cast<qint32>(obs_data_get_int(settings, Keys::kTypeKey)));
    const bool spotlight = std::strcmp(key, Keys::kSpotlightRadiusKey) == 0;
    long long stepped = 0;
    if (std::strcmp(key, Keys::kLineWidthKey) == 0) {
        stepped = stepLineWidth(KPUtilInterface::readLineWidth(settings), up);
    } else if (spotlight || std::strcmp(key, Keys::kLaserWidthKey) == 0) {
        KPWB::ItemProperty tool;
        KPUtilInterface::updateWithSettings(tool, settings);
        const long long from = spotlight ? tool.spotlightRadius : tool.laserWidth;
        const long long low = spotlight ? KPUtilInterface::kMinSpotlightRadius : 1;
        const long long high = spotlight ? KPUtilInterface::kMaxSpotlightRadius : KPUtilInterface::kMaxLaserWidth;
        const long long scaled = std::llround(up ? from * 1.5 : from / 1.5);
        stepped = qBound(low, up ? qMax(scaled, from + 1) : qMin(scaled, from - 1), high);
    } else {
        stepped = stepSize(obs_data_get_int(settings, Keys::kSizeKey), up);
    }
    obs_data_release(settings);
    setSetting(source(), key, stepped);
}
