#include "kpslideswitch.h"

#include "kpimage.h"

#include <utility>

namespace {

// Ticks a switch waits for its picture at most (about ten seconds at 30 fps).
const uint32_t kMaxSwitchWait = 300;

// A slide that was about to go on air and never did lets its picture go.
void letGo(obs_source_t *slide)
{
    obs_data_t *own = obs_data_create();
    obs_data_set_bool(own, "active", false);
    obs_source_update(slide, own);
    obs_data_release(own);
}

} // namespace

KPSlideSwitch::~KPSlideSwitch()
{
    release();
}

void KPSlideSwitch::release()
{
    if (obs_source_t *slide = std::exchange(m_slide, nullptr)) {
        obs_source_dec_showing(slide);
        obs_source_release(slide);
    }
    m_index = kNone;
    m_waiting = false;
}

void KPSlideSwitch::wait(size_t index, obs_source_t *slide, bool resize)
{
    if (!slide)
        return;
    if (slide != m_slide) {
        obs_source_inc_showing(slide);
        if (m_slide)
            letGo(m_slide);
        release();
        m_slide = obs_source_get_ref(slide);
    }
    m_index = index;
    m_waiting = true;
    m_resize = resize;
    m_ticks = 0;
    m_updates = kp_image_source_updates(obs_obj_get_data(slide));
}

obs_source_t *KPSlideSwitch::ready()
{
    if (!m_slide)
        return nullptr;
    // Until the slide has taken the update that goes with the switch, its
    // loader is idle only because it has not been asked yet.
    void *data = obs_obj_get_data(m_slide);
    const bool settled = kp_image_source_updates(data) != m_updates && kp_image_source_settled(data);
    if (!settled && ++m_ticks < kMaxSwitchWait)
        return nullptr;
    return obs_source_get_ref(m_slide);
}

void KPSlideSwitch::done()
{
    release();
}
