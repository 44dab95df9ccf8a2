#include "kpboardhotkeys.h"

#include "kpitemproperty.h"
#include "kplog.h"
#include "kputilinterface.h"

#include <obs-module.h>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QString>

#include <cmath>

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

const char kTypeKey[] = "kp_wb_draw_type";
const char kColorKey[] = "kp_wb_draw_color";
const char kSizeKey[] = "kp_wb_draw_size";

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

QMutex g_attachedMutex;
QHash<const void *, KPBoardHotkeys *> g_attached;

} // namespace

void KPBoardHotkeys::attach(const void *holder, obs_source_t *source, Handler handler)
{
    auto *hotkeys = new KPBoardHotkeys(source, std::move(handler));
    QMutexLocker locker(&g_attachedMutex);
    delete g_attached.take(holder);
    g_attached.insert(holder, hotkeys);
}

void KPBoardHotkeys::detach(const void *holder)
{
    QMutexLocker locker(&g_attachedMutex);
    delete g_attached.take(holder);
}

KPBoardHotkeys::KPBoardHotkeys(obs_source_t *source, Handler handler)
    : m_source(source), m_handler(std::move(handler))
{
    if (!source || !m_handler)
        return;
    // Reserved first: libobs keeps the address of each binding.
    m_bindings.reserve(std::size(kEntries));
    for (const Entry &entry : kEntries) {
        m_bindings.push_back({this, &entry, OBS_INVALID_HOTKEY_ID});
        Binding &binding = m_bindings.back();
        binding.id = obs_hotkey_register_source(source, entry.name, obs_module_text(entry.name),
                                                &KPBoardHotkeys::fire, &binding);
    }
}

KPBoardHotkeys::~KPBoardHotkeys()
{
    for (const Binding &binding : m_bindings) {
        if (binding.id != OBS_INVALID_HOTKEY_ID)
            obs_hotkey_unregister(binding.id);
    }
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

void KPBoardHotkeys::run(const Entry &entry)
{
    switch (entry.kind) {
    case Entry::HolderAction:
        m_handler(static_cast<Action>(entry.value));
        break;
    case Entry::Tool:
        setSetting(m_source, kTypeKey, entry.value);
        break;
    case Entry::Colour:
        setSetting(m_source, kColorKey, entry.value);
        break;
    case Entry::SizeUp:
    case Entry::SizeDown: {
        obs_data_t *settings = obs_source_get_settings(m_source);
        const long long size = obs_data_get_int(settings, kSizeKey);
        obs_data_release(settings);
        setSetting(m_source, kSizeKey, stepSize(size, entry.kind == Entry::SizeUp));
        break;
    }
    }
}

void KPBoardHotkeys::fire(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
    auto *binding = static_cast<Binding *>(data);
    if (!binding || !pressed)
        return;
    KP_LOG(2, QStringLiteral(" hotkey=%1").arg(QLatin1String(binding->entry->name)));
    binding->owner->run(*binding->entry);
}
