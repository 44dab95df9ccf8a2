#pragma once

// A whole scene in one JSON file: the canvas size and every source on the
// output from bottom to top, each as obs_save_source writes it (type,
// name, settings with the drawings, hotkey bindings) with its visibility.
//
//   {"kp_scene": 1, "canvas": [1280, 720],
//    "sources": [{"visible": true, "source": {"id": ..., "name": ..., ...}}, ...]}

#include <QSize>
#include <QString>
#include <QStringList>

#include <obs.h>

class KPSceneFile
{
public:
    // Whether libobs knows an input type of this id.
    static bool typeKnown(const QString &type);
    // Writes the scene; the file is replaced only once it is whole.
    static bool save(obs_scene_t *scene, const QString &path, QString *error);
    // Adds the file's sources on top of the scene, in order. A file that is
    // not a scene, names a type libobs does not know or a name already in
    // use adds nothing. names receives the sources' names, bottom first.
    static bool open(obs_scene_t *scene, const QString &path, QStringList *names, QString *error);
    // True for a file that holds a scene rather than a script; canvas gets
    // the scene's canvas size when it has one.
    static bool isScene(const QByteArray &json, QSize *canvas = nullptr);
};
