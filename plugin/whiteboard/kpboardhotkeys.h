#pragma once

#include "kpsourcehotkeys.h"

#include <functional>
#include <vector>

// The hotkeys a libobs host lists under a board-bearing source: undo, redo,
// clear and hide/show handwriting, and one key for every tool, colour and
// size step. They are registered through libobs's own hotkey API, so a stock
// host binds, fires and saves them with the scene; no host extension is
// involved. What undo, redo and clear do belongs to whatever holds the board,
// reached through one callback; the tool, colour and size keys and hide/show
// handwriting write the source's settings, so that the property sheet shows
// the change and the scene saves it.
class KPBoardHotkeys : public KPSourceHotkeys
{
public:
    enum class Action { Undo, Redo, Clear, ToggleHandwriting };
    using Handler = std::function<void(Action)>;

    // Registers the hotkeys on the source (none for a null or private
    // source, which a host never lists). The handler runs on the thread
    // libobs fires hotkeys on, only on a press.
    KPBoardHotkeys(obs_source_t *source, Handler handler);

    // Hotkeys kept for a holder (the source data) until detached.
    static void attach(const void *holder, obs_source_t *source, Handler handler);
    // The usual holder: undo, redo and clear are its commands 1, 2 and 3, and
    // hide/show handwriting flips the source's "kp_wb_hideHandwriting".
    static void attachCommands(const void *holder, obs_source_t *source, std::function<void(int)> command);

    // The registered names of the four holder actions.
    static const char *name(Action action);
    // Every registered name, in registration order.
    static std::vector<const char *> names();
    // Flips a bool setting of the source through a settings update, so the
    // change is what editing the property would do and is saved with it.
    static void toggleSetting(obs_source_t *source, const char *key);
    // Writes an integer setting of the source through a settings update.
    static void setSetting(obs_source_t *source, const char *key, long long value);
    // The tool size one step up or down: times or divided by 1.5, rounded,
    // within 1 and the sheet's largest size.
    static long long stepSize(long long size, bool up);
    static long long stepLineWidth(long long width, bool up);

    // One row of the hotkey table.
    struct Entry;

private:
    void run(const Entry &entry);
    void stepSizeSetting(bool up);

    Handler m_handler;
};
