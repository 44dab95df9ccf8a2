#pragma once

#include "kpitemproperty.h"
#include "kptextitemhost.h"

#include <QBrush>
#include <QColor>
#include <QLineF>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSharedPointer>
#include <QVector>

#include <obs.h>

class KPWhiteBoardObject;
class KPTextItemData;
class QPainter;
class QTabletEvent;

// One tablet sample of a pressure stroke, in board pixels.
struct PressurePoint
{
    double x = 0.0;
    double y = 0.0;
    double pressure = 0.0; // 0.0 to 1.0
};

// One thing drawn on a board. It grows from pointer and tablet input while it
// is the board's current item, is finished through runPushListCallback, and
// is saved and restored as one record. It always runs inside its board's
// lock and never locks itself.
class KPWhiteBoardItemObject
{
public:
    // Flags of paint(): a text box's cursor keeps its blink phase.
    enum PaintFlag { PaintKeepBlink = 1 };

    KPWhiteBoardItemObject(KPWhiteBoardObject *board, const KPWB::ItemProperty &property);
    KPWhiteBoardItemObject(const KPWhiteBoardItemObject &) = delete;
    KPWhiteBoardItemObject &operator=(const KPWhiteBoardItemObject &) = delete;

    static QSharedPointer<KPWhiteBoardItemObject> createFromData(KPWhiteBoardObject *board,
                                                                 obs_data_t *data);

    virtual void do_key_click(const obs_key_event *event, bool keyUp);
    virtual void mouse_move(const obs_mouse_event *event, bool mouseLeave);
    virtual void do_tablet_event(QTabletEvent *event);
    virtual void updateWithSettings(obs_data_t *data);
    virtual void paint(QPainter *painter, int flags);
    // A new record; the caller releases it.
    virtual obs_data_t *toData();
    virtual void setFocus();
    virtual void clearFocus();
    virtual void setStatusData(obs_data_t *status);
    virtual void hide();
    virtual void show();
    virtual void mouse_pressed(const obs_mouse_event *event, int button);
    virtual void mouse_released(const obs_mouse_event *event, int button);
    // Declared last so that the operations above keep their slots.
    virtual ~KPWhiteBoardItemObject();

    // Only a single click reaches the item; button 0 is the left button.
    void mouse_click(const obs_mouse_event *event, int button, bool mouseUp, uint32_t clickCount);
    // Marks the item finished and hands it to the board.
    void runPushListCallback();
    void markInitialized() { m_initialized = true; }
    // The board asks for the pressure stroke again, into its pressure layer.
    void requestPressureRepaint() { m_pressureRepaint = true; }
    // Paints the pressure stroke again into the board's pressure layer at once.
    void repaintPressureStroke();

    bool leftClicked() const { return m_leftClicked; }
    bool visible() const { return m_visible; }
    bool initialized() const { return m_initialized; }
    QPoint startPoint() const { return m_startPoint; }
    QPoint endPoint() const { return m_endPoint; }
    const QVector<QPoint> &points() const { return m_points; }
    const QVector<PressurePoint> &pressurePoints() const { return m_pressurePoints; }
    // The text state of a text item; null until a text item first needs it.
    KPTextItemData *textItemData() const { return m_textItemData; }

    // Geometry, in board pixels.
    static QPoint squareEnd(const QPoint &start, const QPoint &end);
    static QPoint straightEnd(const QPoint &start, const QPoint &end);
    static QRectF normalizedBox(const QPointF &a, const QPointF &b);
    // The shaft followed by the two head strokes; only the shaft when the
    // arrow has no length.
    static QVector<QLineF> arrowLines(const QLineF &shaft);
    static double pressurePenWidth(double pressure, double scale);
    // Where paint() can draw an item made with the mouse, with room for its
    // pen, dot or arrow head; text boxes are laid out over the whole canvas.
    QRectF paintBounds() const;

private:
    // What a text box needs of the item. A member rather than a base class,
    // so that the item's own virtual operations keep their slots.
    class TextHost final : public KPTextItemHost
    {
    public:
        explicit TextHost(KPWhiteBoardItemObject *item) : m_item(item) {}
        bool textLeftClicked() const override { return m_item->m_leftClicked; }
        void setTextLeftClicked(bool clicked) override { m_item->m_leftClicked = clicked; }
        QPoint textStartPoint() const override { return m_item->m_startPoint; }
        QPoint textEndPoint() const override { return m_item->m_endPoint; }
        void setTextStartPoint(const QPoint &point) override { m_item->m_startPoint = point; }
        void setTextEndPoint(const QPoint &point) override { m_item->m_endPoint = point; }
        void markTextInitialized() override { m_item->m_initialized = true; }
        void finishTextItem() override { m_item->runPushListCallback(); }
        void requestTextRedraw() override;
        QColor textColor() const override;

    private:
        KPWhiteBoardItemObject *m_item;
    };

    // Created on first need; only text items ask for it.
    KPTextItemData *textData();
    bool isStroke() const;
    bool isText() const;
    // The end point as painted: Shift applies only while this item is being drawn.
    QPoint paintedEnd(bool square) const;
    void paintStroke(QPainter *painter) const;
    void setPressurePen(double pressure);
    void drawPressureSegment(QPainter *painter, const PressurePoint &sample);
    void readPoints(obs_data_t *data);
    void readPressurePoints(obs_data_t *data);
    void writePoints(obs_data_t *data) const;

    KPWhiteBoardObject *m_whiteBoardObject;
    KPTextItemData *m_textItemData = nullptr;

public:
    // The tool this item draws with; the board rewrites it while the item is current.
    KPWB::ItemProperty itemProperty;

private:
    bool m_leftClicked = false;
    bool m_visible = true;
    bool m_initialized = false;
    bool m_moved = false;
    QPoint m_startPoint;
    QPoint m_endPoint;
    // Stored flat (8 and 24 bytes a point): strokes can hold millions of points.
    QVector<QPoint> m_points;
    bool m_tabletPressed = false;
    QPointF m_lastPressurePoint;
    QVector<PressurePoint> m_pressurePoints;
    QBrush m_brush;
    QPen m_pen;
    QColor m_pressureColor;
    bool m_pressureRepaint = false;
    TextHost m_textHost{this};
};
