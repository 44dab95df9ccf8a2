#pragma once

// The studio's single keys: slide steps, tools, colours and sizes, each
// bound to a hotkey the sources register themselves and fired through it.
// They work whatever widget has focus (application shortcuts), except while
// a field that takes typed text or a text box on the canvas has the keys.
// The bindings are kept in libobs on every source's hotkeys, so a saved
// scene carries them (obs_save_source) and an opened one brings them back.

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <obs.h>

class KPHostDisplay;
class QShortcut;
class QWidget;

class KPHostKeys : public QObject
{
    Q_OBJECT
public:
    struct Binding
    {
        QString hotkey;      // the name the sources register it under
        QString description; // what the rebinding dialog calls it
        QKeySequence keys;   // every key of the sequence is one way to press it
    };

    KPHostKeys(obs_scene_t *scene, KPHostDisplay *display, QWidget *window);

    // The studio's keys before anyone rebinds them.
    static QList<Binding> defaults();
    const QList<Binding> &bindings() const { return m_bindings; }
    void setKeys(const QString &hotkey, const QKeySequence &keys);
    // Runs the hotkey of the first source that has it: the focused one, the
    // one under the pointer, then the visible ones from the top. False when
    // none has it.
    bool fire(const QString &hotkey);
    // Takes the bindings from the scene's sources the next time they are
    // brought in line (after a scene is opened).
    void takeFromScene() { m_takeFromScene = true; }
    // Gives every source on the output the studio's bindings, after taking
    // them from the scene when asked to.
    void sync();
    // A dialog to rebind every key.
    void editBindings();

    // One key (with modifiers) as libobs stores it and back; false for keys
    // libobs has no name for.
    static bool toCombination(int key, obs_key_combination_t *combination);
    static int fromCombination(const obs_key_combination_t &combination);

private:
    void rebuildShortcuts();
    bool takeBindings();

    obs_scene_t *m_scene;
    KPHostDisplay *m_display;
    QWidget *m_window;
    QList<Binding> m_bindings;
    QList<QShortcut *> m_shortcuts;
    bool m_takeFromScene = true;
};
