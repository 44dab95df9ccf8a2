#include "kpscenefile.h"

#include "kpfilereader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QVector>

#include <obs.hpp>
#include <util/base.h>

#include <cmath>
#include <vector>

namespace {

// Where the scene object keeps its room, in its private settings.
const char kRoomKey[] = "kp_live_room";
// The room's texts are addresses, names and tokens: a few kilobytes at most.
constexpr int kMaxRoomText = 4096;
// The output has a handful of settings; a room of many more is not one.
constexpr int kMaxRoomFields = 32;

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

// Whether libobs's list of one kind of type holds this id.
bool listed(bool (*enumerate)(size_t, const char **), const QString &type)
{
    const QByteArray wanted = type.toUtf8();
    const char *id = nullptr;
    for (size_t i = 0; enumerate(i, &id); ++i) {
        if (wanted == id)
            return true;
    }
    return false;
}

// A scene names types in three places: a source's "id", its "versioned_id"
// (the one obs_load_source creates) and its filters' ids; filters are loaded
// by libobs too, recursively. Each must be a type this host allows.
bool typeAllowed(const QJsonObject &source, bool filter, QString *why)
{
    for (const char *key : {"id", "versioned_id"}) {
        const QJsonValue value = source.value(QLatin1String(key));
        if (value.isUndefined() && key[0] == 'v')
            continue;
        const QString type = value.toString();
        if (!value.isString() || type.isEmpty()) {
            *why = QStringLiteral("has no type in \"%1\"").arg(QLatin1String(key));
            return false;
        }
        if (filter ? !KPSceneFile::filterTypeKnown(type) : !KPSceneFile::typeKnown(type)) {
            *why = QStringLiteral("has the unknown type \"%1\"").arg(type);
            return false;
        }
    }
    return true;
}

bool filtersAllowed(const QJsonObject &source, QString *why)
{
    const QJsonValue filters = source.value(QStringLiteral("filters"));
    if (filters.isUndefined())
        return true;
    if (!filters.isArray()) {
        *why = QStringLiteral("has filters that are not a list");
        return false;
    }
    for (const QJsonValue &value : filters.toArray()) {
        const QJsonObject filter = value.toObject();
        if (!value.isObject() || !typeAllowed(filter, true, why)) {
            *why = QStringLiteral("has a filter that %1").arg(value.isObject() ? *why : QStringLiteral("is not a record"));
            return false;
        }
        if (filter.contains(QStringLiteral("filters"))) {
            *why = QStringLiteral("has a filter with filters of its own");
            return false;
        }
    }
    return true;
}

// Everything about the entries that can be checked before one is created.
bool check(const QJsonArray &entries, QString *error)
{
    if (entries.size() > KPSceneFile::kMaxSources) {
        *error = QStringLiteral("more than %1 sources").arg(KPSceneFile::kMaxSources);
        return false;
    }
    QSet<QString> names;
    for (const QJsonValue &value : entries) {
        const QJsonObject source = value.toObject().value(QStringLiteral("source")).toObject();
        const QString name = source.value(QStringLiteral("name")).toString();
        QString why;
        if (name.isEmpty()) {
            *error = QStringLiteral("a source without a name");
            return false;
        }
        if (!typeAllowed(source, false, &why) || !filtersAllowed(source, &why)) {
            *error = QStringLiteral("source \"%1\" %2").arg(name, why);
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

// Every record as libobs reads it, before anything is created: a text that
// libobs refuses (a U+0000 in it) fails the whole file.
bool records(const QJsonArray &entries, std::vector<OBSDataAutoRelease> *data, QString *error)
{
    for (const QJsonValue &value : entries) {
        const QJsonObject source = value.toObject().value(QStringLiteral("source")).toObject();
        const QByteArray record = QJsonDocument(source).toJson(QJsonDocument::Compact);
        data->emplace_back(obs_data_create_from_json(record.constData()));
        if (!data->back()) {
            *error = QStringLiteral("libobs cannot read source %1 of %2 (a U+0000 in a text?)")
                         .arg(int(data->size()))
                         .arg(entries.size());
            return false;
        }
    }
    return true;
}

// Takes what a failed open added off the scene again.
void undoAdded(const QVector<obs_sceneitem_t *> &items)
{
    for (obs_sceneitem_t *item : items)
        obs_sceneitem_remove(item);
}

// Whether text is one of a list property's values.
bool listHolds(obs_property_t *property, const QString &text)
{
    for (size_t i = 0; i < obs_property_list_item_count(property); ++i) {
        if (text == QString::fromUtf8(obs_property_list_item_string(property, i)))
            return true;
    }
    return false;
}

// Takes a field when its property's kind (text, integer in range, one of a
// list's texts) says it fits; otherwise says why not.
bool takeRoomField(obs_property_t *property, const QJsonValue &value, obs_data_t *room, QString *why)
{
    const QByteArray key = obs_property_name(property);
    const obs_property_type kind = obs_property_get_type(property);
    if (kind == OBS_PROPERTY_LIST && obs_property_list_format(property) == OBS_COMBO_FORMAT_STRING) {
        if (!value.isString() || !listHolds(property, value.toString())) {
            *why = QStringLiteral("is not one of the setting's choices");
            return false;
        }
        obs_data_set_string(room, key.constData(), value.toString().toUtf8().constData());
        return true;
    }
    if (kind == OBS_PROPERTY_TEXT) {
        const QByteArray text = value.toString().toUtf8();
        if (!value.isString() || text.size() > kMaxRoomText || text.contains('\0')) {
            *why = QStringLiteral("is not a text of at most %1 bytes without a U+0000").arg(kMaxRoomText);
            return false;
        }
        obs_data_set_string(room, key.constData(), text.constData());
        return true;
    }
    const double number = value.toDouble();
    if (kind != OBS_PROPERTY_INT || !value.isDouble() || std::floor(number) != number
        || number < obs_property_int_min(property) || number > obs_property_int_max(property)) {
        *why = kind == OBS_PROPERTY_INT ? QStringLiteral("is not a whole number from %1 to %2")
                                              .arg(obs_property_int_min(property))
                                              .arg(obs_property_int_max(property))
                                        : QStringLiteral("is not a setting the studio keeps");
        return false;
    }
    obs_data_set_int(room, key.constData(), static_cast<long long>(number));
    return true;
}

bool hasFields(obs_data_t *data)
{
    obs_data_item_t *first = data ? obs_data_first(data) : nullptr;
    const bool any = first != nullptr;
    obs_data_item_release(&first);
    return any;
}

void ignoreRoom(const QString &why)
{
    blog(LOG_WARNING, "kp-host: the scene's \"live\" %s; it is ignored", qPrintable(why));
}

// The file's room, field by field as the output's properties describe them;
// what does not fit is left out with a log line. Null when there is none.
OBSDataAutoRelease readRoom(const QJsonValue &live)
{
    if (live.isUndefined())
        return nullptr;
    const QJsonObject fields = live.toObject();
    if (!live.isObject() || fields.size() > kMaxRoomFields) {
        ignoreRoom(live.isObject() ? QStringLiteral("has more than %1 fields").arg(kMaxRoomFields)
                                   : QStringLiteral("is not a record"));
        return nullptr;
    }
    obs_properties_t *properties = obs_get_output_properties(KPSceneFile::roomOutputType());
    OBSDataAutoRelease room = obs_data_create();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        obs_property_t *property = obs_properties_get(properties, it.key().toUtf8().constData());
        QString why = QStringLiteral("is not a setting of %1").arg(QLatin1String(KPSceneFile::roomOutputType()));
        if (!property || !takeRoomField(property, it.value(), room, &why))
            ignoreRoom(QStringLiteral("field \"%1\" %2").arg(it.key().left(64), why));
    }
    obs_properties_destroy(properties);
    return room;
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
    OBSDataAutoRelease live = room(scene);
    if (hasFields(live))
        root.insert(QStringLiteral("live"), QJsonDocument::fromJson(obs_data_get_json(live)).object());
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
    QByteArray json;
    QString reason;
    if (!KPFileReader::read(path, &json, &reason)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, reason);
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonValue sources = root.value(QStringLiteral("sources"));
    if (!isScene(json) || !sources.isArray()) {
        *error = QStringLiteral("%1 is not a scene file").arg(path);
        return false;
    }
    const QJsonArray entries = sources.toArray();
    std::vector<OBSDataAutoRelease> data;
    if (!check(entries, error) || !records(entries, &data, error))
        return false;
    // All or nothing: a source libobs cannot create takes the others back off.
    QVector<obs_sceneitem_t *> added;
    QStringList loaded;
    for (int i = 0; i < entries.size(); ++i) {
        OBSSourceAutoRelease source = obs_load_source(data[i]);
        if (!source) {
            undoAdded(added);
            *error = QStringLiteral("libobs could not load source %1 of %2").arg(i + 1).arg(entries.size());
            return false;
        }
        // obs_load_source only creates the source: its drawings come with the load.
        obs_source_load2(source);
        obs_sceneitem_t *item = obs_scene_add(scene, source);
        obs_sceneitem_set_visible(item, entries[i].toObject().value(QStringLiteral("visible")).toBool(true));
        added.append(item);
        loaded.append(QString::fromUtf8(obs_source_get_name(source)));
    }
    *names += loaded;
    // A file without a room, or with none that fits, keeps the one the scene has.
    OBSDataAutoRelease live = readRoom(root.value(QStringLiteral("live")));
    if (hasFields(live))
        setRoom(scene, live);
    return true;
}

const char *KPSceneFile::roomOutputType()
{
    return "kp_rtc_output";
}

OBSDataAutoRelease KPSceneFile::room(obs_scene_t *scene)
{
    OBSDataAutoRelease copy = obs_data_create();
    OBSDataAutoRelease kept = obs_source_get_private_settings(obs_scene_get_source(scene));
    OBSDataAutoRelease live = obs_data_get_obj(kept, kRoomKey);
    if (live)
        obs_data_apply(copy, live);
    return copy;
}

void KPSceneFile::setRoom(obs_scene_t *scene, obs_data_t *room)
{
    OBSDataAutoRelease kept = obs_source_get_private_settings(obs_scene_get_source(scene));
    OBSDataAutoRelease copy = obs_data_create();
    obs_data_apply(copy, room);
    obs_data_set_obj(kept, kRoomKey, copy);
}

bool KPSceneFile::filterTypeKnown(const QString &type)
{
    return listed(obs_enum_filter_types, type);
}

bool KPSceneFile::typeKnown(const QString &type)
{
    return listed(obs_enum_input_types, type);
}
