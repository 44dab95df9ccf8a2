#pragma once

#include <obs.h>

#include <deque>
#include <functional>
#include <memory>

// Hotkeys registered on one source through libobs's own hotkey API, so that
// a stock host lists, binds and saves them with the scene. Each runs its
// callback on a press, on the thread libobs fires hotkeys on. They are
// unregistered together when the set goes, so no key reaches a holder being
// destroyed.
//
// A source's data (the holder) keeps its sets in one registry from create to
// destroy, so that the data can stay what every other callback expects.
class KPSourceHotkeys
{
public:
    using Press = std::function<void()>;

    explicit KPSourceHotkeys(obs_source_t *source);
    virtual ~KPSourceHotkeys();

    KPSourceHotkeys(const KPSourceHotkeys &) = delete;
    KPSourceHotkeys &operator=(const KPSourceHotkeys &) = delete;

    // Registers a hotkey named name, described by the locale's text for it;
    // nothing for a null source, which a host never lists.
    void add(const char *name, Press press);
    obs_source_t *source() const { return m_source; }

    // Keeps keys for holder until detach.
    static void attach(const void *holder, std::unique_ptr<KPSourceHotkeys> keys);
    // Every set the holder has goes: call before the holder is destroyed.
    static void detach(const void *holder);

private:
    struct Binding
    {
        const char *name;
        Press press;
        obs_hotkey_id id;
    };
    static void fire(void *data, obs_hotkey_id id, obs_hotkey_t *hotkey, bool pressed);

    obs_source_t *m_source;
    // A deque keeps each binding where it is: libobs holds its address.
    std::deque<Binding> m_bindings;
};
