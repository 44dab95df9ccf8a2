#pragma once

#include <obs.h>

#include <functional>

// The four board hotkeys a libobs host lists under a board-bearing source:
// undo, redo, clear and hide/show handwriting. They are registered through
// libobs's own hotkey API, so a stock host binds, fires and saves them with
// the scene; no host extension is involved. What a hotkey does belongs to
// whatever holds the board, reached through one callback.
class KPBoardHotkeys
{
public:
    enum class Action { Undo, Redo, Clear, ToggleHandwriting };
    using Handler = std::function<void(Action)>;

    // Registers the hotkeys on the source (none for a null or private
    // source, which a host never lists). The handler runs on the thread
    // libobs fires hotkeys on, only on a press.
    KPBoardHotkeys(obs_source_t *source, Handler handler);
    // Unregisters first, so no hotkey can reach a holder being destroyed.
    ~KPBoardHotkeys();

    KPBoardHotkeys(const KPBoardHotkeys &) = delete;
    KPBoardHotkeys &operator=(const KPBoardHotkeys &) = delete;

    // Hotkeys kept for a holder (the source data) until detached, so that the
    // source data can stay the board or list every other callback expects.
    static void attach(const void *holder, obs_source_t *source, Handler handler);
    // Call before the holder is destroyed: no hotkey reaches it afterwards.
    static void detach(const void *holder);

    // The registered names, in Action order.
    static const char *name(Action action);
    // Flips a bool setting of the source through a settings update, so the
    // change is what editing the property would do and is saved with it.
    static void toggleSetting(obs_source_t *source, const char *key);

private:
    struct Binding
    {
        KPBoardHotkeys *owner;
        Action action;
        obs_hotkey_id id;
    };
    static void fire(void *data, obs_hotkey_id id, obs_hotkey_t *hotkey, bool pressed);

    Handler m_handler;
    Binding m_bindings[4];
};
