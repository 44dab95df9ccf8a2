#include "kpboardrecord.h"

#include "kplog.h"
#include "kpwhiteboarditemobject.h"

namespace {

size_t arrayCount(obs_data_t *record, const char *key)
{
    obs_data_array_t *array = obs_data_get_array(record, key);
    const size_t count = obs_data_array_count(array);
    obs_data_array_release(array);
    return count;
}

} // namespace

void KPBoardRecord::write(obs_data_t *settings, const QList<Item> &items, const Item &extra)
{
    obs_data_t *content = obs_data_create();
    obs_data_array_t *records = obs_data_array_create();
    const auto append = [records](const Item &item) {
        obs_data_t *record = item->toData();
        obs_data_array_push_back(records, record);
        obs_data_release(record);
    };
    for (const Item &item : items) {
        if (item->visible())
            append(item);
    }
    if (extra)
        append(extra);
    obs_data_set_array(content, "kp_wb_data_datas", records);
    obs_data_array_release(records);
    obs_data_set_obj(settings, "kp_wb_data", content);
    obs_data_release(content);
}

QList<KPBoardRecord::Item> KPBoardRecord::read(obs_data_t *settings, KPWhiteBoardObject *board)
{
    QList<Item> items;
    obs_data_t *content = obs_data_get_obj(settings, "kp_wb_data");
    obs_data_array_t *records = nullptr;
    size_t count = 0;
    if (content && obs_data_has_user_value(content, "kp_wb_data_datas")) {
        records = obs_data_get_array(content, "kp_wb_data_datas");
        count = obs_data_array_count(records);
        KP_LOG(2, QStringLiteral(" count=%1").arg(count));
    }
    for (size_t i = 0; i < count; ++i) {
        obs_data_t *record = obs_data_array_item(records, i);
        const Item item = KPWhiteBoardItemObject::createFromData(board, record);
        if (item)
            items.append(item);
        obs_data_release(record);
    }
    obs_data_array_release(records);
    obs_data_release(content);
    return items;
}

QString KPBoardRecord::problem(obs_data_t *settings, size_t maxItems, size_t maxPoints)
{
    obs_data_item_t *entry = obs_data_item_byname(settings, "kp_wb_data");
    const bool object = !entry || obs_data_item_gettype(entry) == OBS_DATA_OBJECT;
    obs_data_item_release(&entry);
    if (!object)
        return QStringLiteral("kp_wb_data is not an object");
    obs_data_t *content = obs_data_get_obj(settings, "kp_wb_data");
    obs_data_array_t *records = content ? obs_data_get_array(content, "kp_wb_data_datas") : nullptr;
    const size_t count = obs_data_array_count(records);
    QString problem;
    size_t points = 0;
    if (count > maxItems)
        problem = QStringLiteral("%1 items, more than %2").arg(count).arg(maxItems);
    for (size_t i = 0; problem.isEmpty() && i < count; ++i) {
        obs_data_t *record = obs_data_array_item(records, i);
        points += arrayCount(record, "kp_wb_data_points") + arrayCount(record, "kp_wb_pressure_points");
        obs_data_release(record);
        if (points > maxPoints)
            problem = QStringLiteral("more than %1 points").arg(maxPoints);
    }
    obs_data_array_release(records);
    obs_data_release(content);
    return problem;
}
