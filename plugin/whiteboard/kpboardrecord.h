#pragma once

#include <QList>
#include <QSharedPointer>
#include <QString>

#include <obs.h>

class KPWhiteBoardItemObject;
class KPWhiteBoardObject;

// A board's drawings as the host saves them: under "kp_wb_data", an object
// whose "kp_wb_data_datas" lists one record per item, in painting order.
class KPBoardRecord
{
public:
    using Item = QSharedPointer<KPWhiteBoardItemObject>;

    // The visible items of the list, then the extra one when there is one.
    static void write(obs_data_t *settings, const QList<Item> &items, const Item &extra);
    // The items of the saved content, made for this board.
    static QList<Item> read(obs_data_t *settings, KPWhiteBoardObject *board);
    // Why the saved content is refused (not an object, or beyond the bounds
    // given), or empty when it is not.
    static QString problem(obs_data_t *settings, size_t maxItems, size_t maxPoints);
};
