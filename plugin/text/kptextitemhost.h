#pragma once

// What a text box needs of the draw item that holds it. The item implements
// this and hands itself to KPTextItemData; every call arrives while the board
// holds its lock, so none of these may lock the board.

#include <QColor>
#include <QPoint>

class KPTextItemHost
{
public:
    // The item's "left button is down" flag; the board paints its current
    // item only while it is set.
    virtual bool textLeftClicked() const = 0;
    virtual void setTextLeftClicked(bool clicked) = 0;

    virtual QPoint textStartPoint() const = 0;
    virtual QPoint textEndPoint() const = 0;
    virtual void setTextStartPoint(const QPoint &point) = 0;
    virtual void setTextEndPoint(const QPoint &point) = 0;

    // Marks the item as one that belongs in the board's list.
    virtual void markTextInitialized() = 0;
    // Finishes the item and hands it to the board.
    virtual void finishTextItem() = 0;
    // Asks the board to compose its canvas again.
    virtual void requestTextRedraw() = 0;
    // The item's drawing colour.
    virtual QColor textColor() const = 0;

protected:
    ~KPTextItemHost() = default;
};
