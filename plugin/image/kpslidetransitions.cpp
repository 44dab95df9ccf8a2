#include "kpslidetransitions.h"

#include "kplog.h"

#include <obs-module.h>

#include <cstring>
#include <strings.h>

namespace {

const uint32_t kAlignTopLeft = OBS_ALIGN_LEFT | OBS_ALIGN_TOP;

struct TransitionRow
{
    const char *name;
    const char *id;
    const char *direction;
    uint32_t duration;
};

// The first row also stands for every name the table does not know.
const TransitionRow kTransitions[] = {
    {"cut", "fade_transition", nullptr, 100},
    {"fade", "fade_transition", nullptr, 1500},
    {"swipe_to_left", "swipe_transition", "left", 2000},
    {"swipe_to_right", "swipe_transition", "right", 2000},
    {"slide_to_left", "slide_transition", "left", 2000},
    {"slide_to_right", "slide_transition", "right", 2000},
};

const TransitionRow &transitionRow(const char *name)
{
    for (const TransitionRow &row : kTransitions) {
        if (name && strcasecmp(name, row.name) == 0)
            return row;
    }
    return kTransitions[0];
}

obs_source_t *makeTransition(const TransitionRow &row)
{
    obs_source_t *made = obs_source_create_private(row.id, nullptr, nullptr);
    // libobs answers a type it does not know with a placeholder without data.
    if (made && !obs_obj_get_data(made)) {
        KP_LOG(1, QStringLiteral("source of type %1 has no data.").arg(QLatin1String(row.id)));
        obs_source_release(made);
        made = nullptr;
    }
    if (made && row.direction) {
        obs_data_t *direction = obs_data_create();
        obs_data_set_string(direction, "direction", row.direction);
        obs_source_update(made, direction);
        obs_data_release(direction);
    }
    return made;
}

} // namespace

KPSlideTransitions::~KPSlideTransitions()
{
    for (obs_source_t *transition : m_kept)
        obs_source_release(transition);
}

obs_source_t *KPSlideTransitions::choose(const char *name)
{
    static_assert(sizeof(kTransitions) / sizeof(kTransitions[0]) == sizeof(m_kept) / sizeof(m_kept[0]),
                  "one kept transition per row");
    const TransitionRow &row = transitionRow(name);
    tr_duration = row.duration;
    KP_LOG(1, QStringLiteral("direction is:%1").arg(QLatin1String(row.direction)));
    if (tr_name && std::strcmp(tr_name, row.name) == 0)
        return nullptr;
    KP_LOG(1, QStringLiteral("new transition type: %1").arg(QLatin1String(row.id)));
    obs_source_t *&kept = m_kept[&row - kTransitions];
    if (!kept)
        kept = makeTransition(row);
    if (!kept) {
        KP_LOG(1, QStringLiteral("transition not created: %1").arg(QLatin1String(row.id)));
        return nullptr;
    }
    tr_name = row.name;
    return kept;
}

void KPSlideTransitions::addList(obs_properties_t *properties)
{
    obs_property_t *list = obs_properties_add_list(properties, "transition",
                                                   obs_module_text("SlideShow.Transition"),
                                                   OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(list, obs_module_text("SlideShow.Transition.Cut"), "cut");
    obs_property_list_add_string(list, obs_module_text("SlideShow.Transition.Fade"), "fade");
    obs_property_list_add_string(list, "swipe to left", "swipe_to_left");
    obs_property_list_add_string(list, "swipe to right", "swipe_to_right");
    obs_property_list_add_string(list, "slide to left", "slide_to_left");
    obs_property_list_add_string(list, "slide to right", "slide_to_right");
}

void KPSlideTransitions::setLayout(obs_source_t *transition)
{
    obs_transition_set_alignment(transition, kAlignTopLeft);
    obs_transition_set_scale_type(transition, OBS_TRANSITION_SCALE_ASPECT);
}

void KPSlideTransitions::takeOver(obs_source_t *fresh, obs_source_t *old)
{
    obs_source_t *onAir = old ? obs_transition_get_active_source(old) : nullptr;
    if (onAir)
        obs_transition_set(fresh, onAir);
    obs_source_release(onAir);
}

// A transition that has finished lets its picture on air go when it starts
// again (the outgoing side would fade or swipe out of nothing), so the
// picture on air is set as its side first, as a fresh transition takes over.
void KPSlideTransitions::start(obs_source_t *transition, obs_source_t *target) const
{
    if (!transition)
        return;
    if (obs_transition_get_time(transition) >= 1.0f) {
        obs_source_t *onAir = obs_transition_get_active_source(transition);
        if (onAir && onAir != target)
            obs_transition_set(transition, onAir);
        obs_source_release(onAir);
    }
    obs_transition_start(transition, OBS_TRANSITION_MODE_AUTO, tr_duration, target);
}
