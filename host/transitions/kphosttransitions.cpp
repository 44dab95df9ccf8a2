#include "kphosttransitions.h"

#include <obs.h>

#include <cstring>

namespace {

enum class Motion { Fade, Swipe, Slide };

struct Transition
{
    obs_source_t *source = nullptr;
    Motion motion = Motion::Fade;
    bool toRight = false;
    gs_effect_t *fadeEffect = nullptr;
};

// The stock effects have no cross-fade between two textures, so the fade
// brings its own: one pass sampling both sides.
const char kFadeEffect[] = R"(
uniform float4x4 ViewProj;
uniform texture2d tex_a;
uniform texture2d tex_b;
uniform float fade_val;

sampler_state fade_sampler {
	Filter   = Linear;
	AddressU = Clamp;
	AddressV = Clamp;
};

struct VertInOut {
	float4 pos : POSITION;
	float2 uv  : TEXCOORD0;
};

VertInOut VSFade(VertInOut vert_in)
{
	VertInOut vert_out;
	vert_out.pos = mul(float4(vert_in.pos.xyz, 1.0), ViewProj);
	vert_out.uv  = vert_in.uv;
	return vert_out;
}

float4 PSFade(VertInOut vert_in) : TARGET
{
	float4 a = tex_a.Sample(fade_sampler, vert_in.uv);
	float4 b = tex_b.Sample(fade_sampler, vert_in.uv);
	return lerp(a, b, fade_val);
}

technique Fade
{
	pass
	{
		vertex_shader = VSFade(vert_in);
		pixel_shader  = PSFade(vert_in);
	}
}
)";

Transition *transitionOf(void *data)
{
    return static_cast<Transition *>(data);
}

void *createTransition(obs_data_t *settings, obs_source_t *source, Motion motion)
{
    auto *transition = new Transition;
    transition->source = source;
    transition->motion = motion;
    transition->toRight = std::strcmp(obs_data_get_string(settings, "direction"), "right") == 0;
    if (motion == Motion::Fade) {
        char *error = nullptr;
        obs_enter_graphics();
        transition->fadeEffect = gs_effect_create(kFadeEffect, "kp-fade-transition.effect", &error);
        obs_leave_graphics();
        if (!transition->fadeEffect)
            blog(LOG_WARNING, "kp-host: fade effect failed: %s", error ? error : "unknown error");
        bfree(error);
    }
    return transition;
}

void *createFade(obs_data_t *settings, obs_source_t *source)
{
    return createTransition(settings, source, Motion::Fade);
}

void *createSwipe(obs_data_t *settings, obs_source_t *source)
{
    return createTransition(settings, source, Motion::Swipe);
}

void *createSlide(obs_data_t *settings, obs_source_t *source)
{
    return createTransition(settings, source, Motion::Slide);
}

void destroyTransition(void *data)
{
    Transition *transition = transitionOf(data);
    if (transition->fadeEffect) {
        obs_enter_graphics();
        gs_effect_destroy(transition->fadeEffect);
        obs_leave_graphics();
    }
    delete transition;
}

void updateTransition(void *data, obs_data_t *settings)
{
    transitionOf(data)->toRight = std::strcmp(obs_data_get_string(settings, "direction"), "right") == 0;
}

void directionDefaults(obs_data_t *settings)
{
    obs_data_set_default_string(settings, "direction", "left");
}

obs_properties_t *directionProperties(void *)
{
    obs_properties_t *properties = obs_properties_create();
    obs_property_t *list = obs_properties_add_list(properties, "direction", "Direction",
                                                   OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(list, "Left", "left");
    obs_property_list_add_string(list, "Right", "right");
    return properties;
}

void drawAt(gs_texture_t *texture, float x, uint32_t cx, uint32_t cy)
{
    if (!texture)
        return;
    gs_effect_t *effect = obs_get_base_effect(OBS_EFFECT_DEFAULT);
    gs_matrix_push();
    gs_matrix_translate3f(x, 0.0f, 0.0f);
    gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), texture);
    while (gs_effect_loop(effect, "Draw"))
        gs_draw_sprite(texture, 0, cx, cy);
    gs_matrix_pop();
}

void renderFade(Transition *transition, gs_texture_t *a, gs_texture_t *b, float t, uint32_t cx,
                uint32_t cy)
{
    gs_effect_t *effect = transition->fadeEffect;
    if (!effect || !a || !b) {
        // One side missing (the very first picture): show the side there is.
        drawAt(t < 0.5f && a ? a : b, 0.0f, cx, cy);
        return;
    }
    gs_effect_set_texture(gs_effect_get_param_by_name(effect, "tex_a"), a);
    gs_effect_set_texture(gs_effect_get_param_by_name(effect, "tex_b"), b);
    gs_effect_set_float(gs_effect_get_param_by_name(effect, "fade_val"), t);
    while (gs_effect_loop(effect, "Fade"))
        gs_draw_sprite(nullptr, 0, cx, cy);
}

// "left": the incoming side enters at the right edge and travels left.
void renderMotion(Transition *transition, gs_texture_t *a, gs_texture_t *b, float t, uint32_t cx,
                  uint32_t cy)
{
    const float width = static_cast<float>(cx);
    const float sign = transition->toRight ? -1.0f : 1.0f;
    const float outgoing = transition->motion == Motion::Slide ? -sign * width * t : 0.0f;
    const float incoming = sign * width * (1.0f - t);
    drawAt(a, outgoing, cx, cy);
    drawAt(b, incoming, cx, cy);
}

void renderSides(void *data, gs_texture_t *a, gs_texture_t *b, float t, uint32_t cx, uint32_t cy)
{
    Transition *transition = transitionOf(data);
    if (transition->motion == Motion::Fade)
        renderFade(transition, a, b, t, cx, cy);
    else
        renderMotion(transition, a, b, t, cx, cy);
}

void renderTransition(void *data, gs_effect_t *)
{
    obs_transition_video_render(transitionOf(data)->source, renderSides);
}

float outgoingVolume(void *, float t)
{
    return 1.0f - t;
}

float incomingVolume(void *, float t)
{
    return t;
}

// libobs asks every transition for audio; the sides' sound crosses over.
bool renderAudio(void *data, uint64_t *tsOut, obs_source_audio_mix *audio, uint32_t mixers,
                 size_t channels, size_t sampleRate)
{
    return obs_transition_audio_render(transitionOf(data)->source, tsOut, audio, mixers, channels,
                                       sampleRate, outgoingVolume, incomingVolume);
}

const char *fadeName(void *)
{
    return "Fade";
}

const char *swipeName(void *)
{
    return "Swipe";
}

const char *slideName(void *)
{
    return "Slide";
}

obs_source_info transitionInfo(const char *id, const char *(*getName)(void *),
                               void *(*create)(obs_data_t *, obs_source_t *), bool directed)
{
    obs_source_info info = {};
    info.id = id;
    info.type = OBS_SOURCE_TYPE_TRANSITION;
    info.output_flags = OBS_SOURCE_VIDEO;
    info.get_name = getName;
    info.create = create;
    info.destroy = destroyTransition;
    info.update = updateTransition;
    info.video_render = renderTransition;
    info.audio_render = renderAudio;
    if (directed) {
        info.get_defaults = directionDefaults;
        info.get_properties = directionProperties;
    }
    return info;
}

bool listedIn(bool (*enumerate)(size_t, const char **), const char *id)
{
    const char *known = nullptr;
    for (size_t i = 0; enumerate(i, &known); ++i) {
        if (known && std::strcmp(known, id) == 0)
            return true;
    }
    return false;
}

} // namespace

bool KPHostTransitions::isKnownType(const char *id)
{
    return listedIn(obs_enum_transition_types, id) || listedIn(obs_enum_input_types, id)
        || listedIn(obs_enum_filter_types, id);
}

int KPHostTransitions::registerMissing()
{
    const obs_source_info infos[] = {
        transitionInfo("fade_transition", fadeName, createFade, false),
        transitionInfo("swipe_transition", swipeName, createSwipe, true),
        transitionInfo("slide_transition", slideName, createSlide, true),
    };
    int registered = 0;
    for (const obs_source_info &info : infos) {
        if (isKnownType(info.id))
            continue;
        obs_register_source(&info);
        ++registered;
    }
    return registered;
}
