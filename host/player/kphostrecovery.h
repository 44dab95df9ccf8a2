#pragma once

// The studio's safety copy of the open scene, in
// $XDG_CONFIG_HOME/kp-toolkit/recovery/: written a few seconds after a
// change and at most every few seconds while the presenter draws (on the
// user-interface thread, never on libobs's video or graphics thread; the
// file is replaced whole or not at all). A clean exit removes it, so a copy
// found at start-up is what an unclean exit left behind. One studio at a time
// keeps a copy: a second one started meanwhile keeps none.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <obs.h>

#include <memory>

class KPHostRecovery : public QObject
{
    Q_OBJECT
public:
    // What to do with a copy an unclean exit left, from KP_HOST_RECOVERY
    // ("reopen" or "discard"); Ask when it is unset.
    enum class Answer { Ask, Reopen, Discard };

    explicit KPHostRecovery(obs_scene_t *scene, QObject *parent = nullptr);
    // Removes the copy only through finish(): a crash never gets here.
    ~KPHostRecovery() override;

    static QString folder();
    QString path() const;
    bool enabled() const { return m_lock != nullptr; }
    // A copy left by an unclean exit, before this studio wrote any.
    bool hasLeftover() const { return m_leftover; }
    static Answer presetAnswer();
    // The leftover copy has been reopened: it stays until the next copy
    // replaces it, so that a second crash loses nothing either.
    void keepLeftover() { m_leftover = false; }
    // The presenter declined the leftover copy: it goes.
    void discardLeftover();
    // The leftover copy could not be reopened: it is renamed, so that the
    // next copy does not replace it, and the new name is returned.
    QString setLeftoverAside();

    // Something in the scene may have changed: a copy follows soon.
    void noteChange();
    // Writes the copy now; false (with a log line) when it cannot.
    bool saveNow();
    // The studio is closing cleanly: no copy is needed any more.
    void finish();

private:
    obs_scene_t *m_scene;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_timer;
    bool m_leftover = false;
};
