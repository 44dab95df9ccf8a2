#pragma once

// Plays a checked kp-host script against running libobs, as a host
// application would deliver each action.

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <obs.h>

#include "kphostoutputs.h"

class KPHostScript;
class KPObsRuntime;

class KPHostPlayer
{
public:
    explicit KPHostPlayer(KPObsRuntime &runtime);
    ~KPHostPlayer();

    KPHostPlayer(const KPHostPlayer &) = delete;
    KPHostPlayer &operator=(const KPHostPlayer &) = delete;

    // Runs every step in order; stops at the first failing one and describes it.
    bool play(const KPHostScript &script, QString *error);
    // Stops and releases every output started, then takes every source off
    // the canvas and releases it.
    void releaseAll();

private:
    // The output's item is looked up when needed: the viewer's sources panel
    // may have removed it, or the scene file replaced it, meanwhile.
    struct Entry
    {
        obs_source_t *source = nullptr;
    };
    using Step = void (KPHostPlayer::*)(const QJsonObject &);

    void runStep(const QJsonObject &step);

    void create(const QJsonObject &step);
    void update(const QJsonObject &step);
    void mouse(const QJsonObject &step);
    void wheel(const QJsonObject &step);
    void key(const QJsonObject &step);
    void typeText(const QJsonObject &step);
    void focus(const QJsonObject &step);
    void tablet(const QJsonObject &step);
    void command(const QJsonObject &step);
    void status(const QJsonObject &step);
    void save(const QJsonObject &step);
    void load(const QJsonObject &step);
    void clipboard(const QJsonObject &step);
    void copy(const QJsonObject &step);
    void frames(const QJsonObject &step);
    void render(const QJsonObject &step);
    void hide(const QJsonObject &step);
    void show(const QJsonObject &step);
    void remove(const QJsonObject &step);
    void hotkey(const QJsonObject &step);
    void stats(const QJsonObject &step);
    void button(const QJsonObject &step);
    void saveScene(const QJsonObject &step);
    void loadScene(const QJsonObject &step);
    void renderOutput(const QJsonObject &step);
    void startOutput(const QJsonObject &step);
    void stopOutput(const QJsonObject &step);

    obs_source_t *createSource(const QString &name, const QString &type, obs_data_t *settings);
    Entry &entryFor(const QJsonObject &step);
    obs_source_t *sourceFor(const QJsonObject &step) { return entryFor(step).source; }
    void addSource(const QString &name, obs_source_t *source);
    void waitTicks(quint64 count);
    void writeImage(const QImage &image, const QString &out);

    KPObsRuntime &m_runtime;
    QMap<QString, Entry> m_sources;
    KPHostOutputs m_outputs;
};
