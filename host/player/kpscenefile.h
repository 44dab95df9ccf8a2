#pragma once

// A whole scene in one JSON file: the canvas size and every source on the
// output from bottom to top, each as obs_save_source writes it (type,
// name, settings with the drawings, hotkey bindings) with its visibility.
//
//   {"kp_scene": 1, "canvas": [1280, 720],
//    "sources": [{"visible": true, "source": {"id": ..., "name": ..., ...}}, ...],
//    "live": {"server": ..., "channel": ..., ...}}
//
// "live", optional, is the room the studio goes live into: the settings of
// the "kp_rtc_output" output, token included as given. The scene object keeps
// it in its private settings, so every save of the scene (the studio's, the
// recovery copy, a script's save_scene) writes it and every open restores it.

#include <QSize>
#include <QString>
#include <QStringList>

#include <obs.hpp>

class KPSceneFile
{
public:
    // More than a presenter's scene ever holds; each source costs memory.
    static constexpr int kMaxSources = 256;

    // Whether libobs knows an input type of this id (scenes and groups are
    // not inputs).
    static bool typeKnown(const QString &type);
    // Whether libobs knows a filter type of this id.
    static bool filterTypeKnown(const QString &type);
    // Writes the scene; the file is replaced only once it is whole.
    static bool save(obs_scene_t *scene, const QString &path, QString *error);
    // Adds the file's sources on top of the scene, in order, all or nothing.
    // A file that is not a regular file of a bounded size, not a scene, holds
    // more than kMaxSources, names a type libobs does not know as an input
    // (in "id" or "versioned_id") or as a filter, nests filters or uses a
    // name already in use adds nothing. names receives the sources' names,
    // bottom first.
    static bool open(obs_scene_t *scene, const QString &path, QStringList *names, QString *error);
    // True for a file that holds a scene rather than a script; canvas gets
    // the scene's canvas size when it has one.
    static bool isScene(const QByteArray &json, QSize *canvas = nullptr);

    // The output type whose settings make the room.
    static const char *roomOutputType();
    // The scene's room: a copy of its "live" settings, empty when it has none.
    static OBSDataAutoRelease room(obs_scene_t *scene);
    static void setRoom(obs_scene_t *scene, obs_data_t *room);
};
