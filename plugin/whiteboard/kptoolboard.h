#pragma once

#include "kpitemproperty.h"

#include <QList>
#include <QPixmap>
#include <QRectF>
#include <QSharedPointer>

class KPWhiteBoardItemObject;

// What the tools may do to their board, all under the board's lock (none of
// these locks): the one way from a tool to the board's items, history,
// compositor and pressure layer.
class KPToolBoard
{
public:
    using Item = QSharedPointer<KPWhiteBoardItemObject>;

    // A finished item joins the board's list with an undo step and is composed from now on.
    virtual void commitItem(const Item &item) = 0;
    // The eraser's touched items leave the frame at once.
    virtual void hideItems(const QList<Item> &items) = 0;
    // One undo step for the items an eraser drag hid.
    virtual void fileErase(const QList<Item> &items) = 0;
    // This rectangle of the frame is composed again at the next tick.
    virtual void markDirty(const QRectF &rect) = 0;
    // The frame is composed again at the next tick where it changed.
    virtual void requestCompose() = 0;
    // The whole frame is composed again at the next tick.
    virtual void requestFullFrame() = 0;
    virtual double itemScale() const = 0;
    virtual bool handwritingHidden() const = 0;
    // Every finished item, shown or not, in painting order.
    virtual const QList<Item> &finishedItems() const = 0;
    // The layer a tablet stroke is drawn into live; null until a tablet is used.
    virtual QPixmap *pressureLayer() = 0;
    // A new item to draw with this tool.
    virtual Item createItem(const KPWB::ItemProperty &tool) = 0;

protected:
    ~KPToolBoard() = default;
};
