#pragma once

// libobs as a host application runs it: OpenGL video on the X display, the
// plug-in loaded as a module, sources shown on the output through one scene,
// tick counting and read-back rendering of a single source.

#include <QImage>
#include <QString>

#include <obs.h>

#include <atomic>

class KPObsRuntime
{
public:
    struct Options
    {
        int width = 1280;
        int height = 720;
        bool video = true;
        // The canvas's sound (48 kHz stereo), mixed from its sources for
        // outputs that send it.
        bool audio = false;
        // Where modules keep their configuration, each in a folder of its
        // own name (empty: nowhere).
        QString moduleConfig;
    };

    KPObsRuntime();
    ~KPObsRuntime();

    KPObsRuntime(const KPObsRuntime &) = delete;
    KPObsRuntime &operator=(const KPObsRuntime &) = delete;

    // Starts libobs; with video, opens the X display and resets OpenGL video.
    bool start(const Options &options, QString *error);
    // Releases the scene and shuts libobs down. Safe to call twice.
    void shutdown();
    // Returns once libobs has destroyed every source released so far: its
    // destroy thread must not run plug-in code after shutdown has begun.
    void drainDestroyQueue();
    bool isStarted() const { return m_started; }
    bool hasVideo() const { return m_video; }

    // Opens and initialises the plug-in module file with its data folder
    // (an empty data path looks for one beside the module).
    bool loadModule(const QString &modulePath, const QString &dataPath, QString *error);
    // Loads every module in libobs's own search paths, as a host application
    // does, after adding the given plug-in and data folders (data may hold
    // libobs's "%module%" placeholder).
    void loadInstalledModules(const QString &pluginFolder, const QString &dataFolder);

    // Puts the source on the output (active and showing) or takes it off again.
    obs_sceneitem_t *show(obs_source_t *source);
    void setVisible(obs_sceneitem_t *item, bool visible);
    void removeFromOutput(obs_sceneitem_t *item);
    // The source's item on the output, null when it has none; the scene keeps it.
    obs_sceneitem_t *itemOf(obs_source_t *source) const;

    // The scene shown on the output.
    obs_scene_t *scene() const { return m_scene; }

    quint64 tickCount() const { return m_ticks.load(); }
    // Waits until count further video ticks have run; false on time-out.
    bool waitTicks(quint64 count, int timeoutMs);

    // Renders the source alone at its own size onto a transparent target and
    // reads the pixels back (RGBA). A source of size 0 gives a 1 by 1
    // transparent image; without video the result is null.
    QImage renderSource(obs_source_t *source);

    static QString findModuleDataPath(const QString &modulePath);

private:
    static void onTick(void *param, float seconds);

    bool m_started = false;
    bool m_video = false;
    void *m_display = nullptr;
    obs_scene_t *m_scene = nullptr;
    std::atomic<quint64> m_ticks{0};
};
