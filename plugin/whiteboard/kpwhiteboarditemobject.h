#pragma once

#include "kpitemproperty.h"
#include "kptextitemhost.h"

#include <QColor>
#include <QLineF>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSharedPointer>
#include <QVector>

#include <obs.h>

class KPWhiteBoardObject;
class KPTextItemData;
class QPainter;

// One tablet sample of a pressure stroke, in board pixels.
struct PressurePoint
{
    double x = 0.0;
    double y = 0.0;
    double pressure = 0.0; // 0.0 to 1.0
};

// One thing drawn on a board: a shape, a stroke or a text box. The tool that
// draws it grows its geometry; the item itself only paints, bounds and
// hit-tests what it holds (each kind by the rules of its kind, see
// KPItemShapes and KPItemStrokes), and is saved and restored as one record.
// It runs inside its board's lock and never locks.
class KPWhiteBoardItemObject
{
public:
    // Flags of paint(): a text box's cursor keeps its blink phase.
    enum PaintFlag { PaintKeepBlink = 1 };

    KPWhiteBoardItemObject(KPWhiteBoardObject *board, const KPWB::ItemProperty &property);
    KPWhiteBoardItemObject(const KPWhiteBoardItemObject &) = delete;
    KPWhiteBoardItemObject &operator=(const KPWhiteBoardItemObject &) = delete;
    virtual ~KPWhiteBoardItemObject();

    static QSharedPointer<KPWhiteBoardItemObject> createFromData(KPWhiteBoardObject *board,
                                                                 obs_data_t *data);

    virtual void updateWithSettings(obs_data_t *data);
    virtual void paint(QPainter *painter, int flags);
    // Paints lines, outlines and strokes at least minimumWidth wide, for a
    // picture that will be printed smaller than its pixels.
    void paintWidened(QPainter *painter, int flags, quint32 minimumWidth);
    // A new record; the caller releases it.
    virtual obs_data_t *toData();
    virtual void setFocus();
    virtual void clearFocus();
    virtual void setStatusData(obs_data_t *status);
    virtual void hide();
    virtual void show();

    // Where paint() can draw, with room for its pen, dot, arrow head or
    // pressure widths; a text box is laid out over the whole canvas.
    QRectF paintBounds() const;
    // True when the item paints something within radius of the segment.
    bool meets(const QLineF &segment, double radius) const;
    // A text box lays itself out over the whole canvas.
    bool isText() const;
    bool isStroke() const;

    // ---- what the drawing tools change ----
    void markInitialized() { m_initialized = true; }
    // Set while the item is drawn: the board paints it as its live layer.
    void setDrawing(bool drawing) { m_leftClicked = drawing; }
    // Set while Shift constrains the item being drawn.
    void setConstrained(bool constrained) { m_constrained = constrained; }
    void setStartPoint(const QPoint &point) { m_startPoint = point; }
    void setEndPoint(const QPoint &point) { m_endPoint = point; }
    void clearPoints() { m_points.clear(); }
    void appendPoint(const QPoint &point) { m_points.append(point); }
    void appendPressurePoint(const PressurePoint &sample) { m_pressurePoints.append(sample); }
    // True once after a paint that changed how the item looks (a text box
    // that did not fit the canvas shrinks by a pixel each time it is painted).
    bool takeLookChange();
    // A text box finished by its own input (a press outside it): the text
    // tool files it once that input is over.
    bool takeFinishRequest();
    // The text state of a text item, made on first need.
    KPTextItemData *textData();

    bool leftClicked() const { return m_leftClicked; }
    bool visible() const { return m_visible; }
    bool initialized() const { return m_initialized; }
    QPoint startPoint() const { return m_startPoint; }
    QPoint endPoint() const { return m_endPoint; }
    const QVector<QPoint> &points() const { return m_points; }
    const QVector<PressurePoint> &pressurePoints() const { return m_pressurePoints; }
    // The text state of a text item; null until a text item first needs it.
    KPTextItemData *textItemData() const { return m_textItemData; }
    // The stroke scale of the item's board (1 without a board).
    double scale() const;

    // Geometry, in board pixels.
    static QPoint squareEnd(const QPoint &start, const QPoint &end);
    static QPoint straightEnd(const QPoint &start, const QPoint &end);
    static QRectF normalizedBox(const QPointF &a, const QPointF &b);
    // The shaft followed by the two head strokes; only the shaft when the
    // arrow has no length.
    // The head grows with the line width, so that a wide arrow keeps its shape.
    static QVector<QLineF> arrowLines(const QLineF &shaft, double lineWidth = 1.0);
    static double pressurePenWidth(double pressure, double scale, double lineWidth = 1.0);
    // How far the item's outline or line paints beyond its centre line.
    double lineHalfWidth() const;

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
        void finishTextItem() override;
        void requestTextRedraw() override;
        QColor textColor() const override;

    private:
        KPWhiteBoardItemObject *m_item;
    };

    void readPoints(obs_data_t *data);
    void readPressurePoints(obs_data_t *data);
    void writePoints(obs_data_t *data) const;
    QRectF textRect() const;
    void paintText(QPainter *painter, int flags);

    KPWhiteBoardObject *m_whiteBoardObject;
    KPTextItemData *m_textItemData = nullptr;

public:
    // The tool this item draws with; the board rewrites it while the item is current.
    KPWB::ItemProperty itemProperty;

private:
    bool m_leftClicked = false;
    bool m_visible = true;
    bool m_initialized = false;
    bool m_constrained = false;
    bool m_finishRequested = false;
    bool m_lookChanged = false;
    // The font size the text box was last painted with, 0 before its first paint.
    quint32 m_paintedFontSize = 0;
    QPoint m_startPoint;
    QPoint m_endPoint;
    // Stored flat (8 and 24 bytes a point): strokes can hold millions of points.
    QVector<QPoint> m_points;
    QVector<PressurePoint> m_pressurePoints;
    TextHost m_textHost{this};
};
