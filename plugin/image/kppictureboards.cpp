#include "kppictureboards.h"

#include "kplog.h"
#include "kpwhiteboardobject.h"

namespace {

const char kFileKey[] = "file";

size_t savedItems(obs_data_t *record)
{
    obs_data_t *content = obs_data_get_obj(record, "kp_wb_data");
    obs_data_array_t *items = content ? obs_data_get_array(content, "kp_wb_data_datas") : nullptr;
    const size_t count = obs_data_array_count(items);
    obs_data_array_release(items);
    obs_data_release(content);
    return count;
}

} // namespace

obs_data_t *KPPictureBoards::save(KPWhiteBoardObject *board, const QString &path)
{
    obs_data_t *record = obs_data_create();
    board->save(record);
    if (savedItems(record) == 0) {
        obs_data_release(record);
        return nullptr;
    }
    obs_data_set_string(record, kFileKey, path.toUtf8().constData());
    return record;
}

void KPPictureBoards::read(obs_data_t *settings, const std::function<void(const QString &, obs_data_t *)> &take)
{
    if (!settings || !obs_data_has_user_value(settings, Key))
        return;
    obs_data_array_t *records = obs_data_get_array(settings, Key);
    const size_t count = obs_data_array_count(records);
    if (!records)
        KP_LOG(1, QStringLiteral("%1 is not a list: no drawings loaded").arg(QLatin1String(Key)));
    if (count > MaxPictures)
        KP_LOG(1, QStringLiteral("drawings of %1 pictures saved, the first %2 loaded").arg(count).arg(MaxPictures));
    for (size_t i = 0; i < count && i < MaxPictures; ++i) {
        obs_data_t *record = obs_data_array_item(records, i);
        const QString file = path(record);
        if (file.isEmpty())
            KP_LOG(1, QStringLiteral("saved drawings %1 name no picture: not loaded").arg(i));
        else
            take(file, record);
        obs_data_release(record);
    }
    obs_data_array_release(records);
}

void KPPictureBoards::write(obs_data_t *settings, obs_data_array_t *records)
{
    if (obs_data_array_count(records) == 0)
        obs_data_erase(settings, Key);
    else
        obs_data_set_array(settings, Key, records);
}

QString KPPictureBoards::path(obs_data_t *record)
{
    return record ? QString::fromUtf8(obs_data_get_string(record, kFileKey)) : QString();
}
