#include "kpscenefile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

#include <obs.hpp>

namespace {

struct Saved
{
    obs_scene_t *scene;
    QJsonArray sources;
};

bool saveItem(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    auto *saved = static_cast<Saved *>(data);
    obs_source_t *source = obs_sceneitem_get_source(item);
    obs_source_save(source);
    OBSDataAutoRelease record = obs_save_source(source);
    QJsonObject entry;
    entry.insert(QStringLiteral("visible"), obs_sceneitem_visible(item));
    entry.insert(QStringLiteral("source"), QJsonDocument::fromJson(obs_data_get_json(record)).object());
    saved->sources.append(entry);
    return true;
}

// Everything about the entries that can be checked before one is created.
bool check(const QJsonArray &entries, QString *error)
{
    QSet<QString> names;
    for (const QJsonValue &value : entries) {
        const QJsonObject source = value.toObject().value(QStringLiteral("source")).toObject();
        const QString type = source.value(QStringLiteral("id")).toString();
        const QString name = source.value(QStringLiteral("name")).toString();
        if (name.isEmpty() || type.isEmpty()) {
            *error = QStringLiteral("a source without a name or type");
            return false;
        }
        if (!KPSceneFile::typeKnown(type)) {
            *error = QStringLiteral("source \"%1\" has the unknown type \"%2\"").arg(name, type);
            return false;
        }
        OBSSourceAutoRelease existing = obs_get_source_by_name(name.toUtf8().constData());
        if (existing || names.contains(name)) {
            *error = QStringLiteral("the name \"%1\" is already used").arg(name);
            return false;
        }
        names.insert(name);
    }
    return true;
}

} // namespace

bool KPSceneFile::isScene(const QByteArray &json, QSize *canvas)
{
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    if (!root.contains(QStringLiteral("kp_scene")))
        return false;
    const QJsonArray size = root.value(QStringLiteral("canvas")).toArray();
    if (canvas && size.size() == 2 && size[0].toInt() > 0 && size[1].toInt() > 0)
        *canvas = QSize(size[0].toInt(), size[1].toInt());
    return true;
}

bool KPSceneFile::save(obs_scene_t *scene, const QString &path, QString *error)
{
    Saved saved{scene, {}};
    obs_scene_enum_items(scene, &saveItem, &saved);
    obs_video_info video = {};
    obs_get_video_info(&video);
    QJsonObject root;
    root.insert(QStringLiteral("kp_scene"), 1);
    root.insert(QStringLiteral("canvas"), QJsonArray{int(video.base_width), int(video.base_height)});
    root.insert(QStringLiteral("sources"), saved.sources);
    QSaveFile file(path);
    const QByteArray json = QJsonDocument(root).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool KPSceneFile::open(obs_scene_t *scene, const QString &path, QStringList *names, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const QByteArray json = file.readAll();
    const QJsonValue sources = QJsonDocument::fromJson(json).object().value(QStringLiteral("sources"));
    if (!isScene(json) || !sources.isArray()) {
        *error = QStringLiteral("%1 is not a scene file").arg(path);
        return false;
    }
    const QJsonArray entries = sources.toArray();
    if (!check(entries, error))
        return false;
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        const QByteArray record = QJsonDocument(entry.value(QStringLiteral("source")).toObject()).toJson();
        OBSDataAutoRelease data = obs_data_create_from_json(record.constData());
        OBSSourceAutoRelease source = data ? obs_load_source(data) : nullptr;
        if (!source) {
            *error = QStringLiteral("libobs could not load source %1 of %2").arg(names->size() + 1).arg(entries.size());
            return false;
        }
        // obs_load_source only creates the source: its drawings come with the load.
        obs_source_load2(source);
        obs_sceneitem_t *item = obs_scene_add(scene, source);
        obs_sceneitem_set_visible(item, entry.value(QStringLiteral("visible")).toBool(true));
        names->append(QString::fromUtf8(obs_source_get_name(source)));
    }
    return true;
}

bool KPSceneFile::typeKnown(const QString &type)
{
    const QByteArray wanted = type.toUtf8();
    const char *id = nullptr;
    for (size_t i = 0; obs_enum_input_types(i, &id); ++i) {
        if (wanted == id)
            return true;
    }
    return false;
}
